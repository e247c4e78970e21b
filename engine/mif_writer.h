#pragma once

#include "word_writer.h"

#include "platform/clock.h"

#include <cstdint>
#include <string_view>

namespace tarnwick {

/// A memory initialisation file. The constructor writes the header: the six-line comment
/// banner (line 6 carries clock.Date() then clock.Time(), read in that order, joined with no
/// separator), WIDTH and DEPTH, ADDRESS_RADIX = DEC, DATA_RADIX = HEX or, in binary mode,
/// BIN, and CONTENT BEGIN. Each word is a content line (TAB address TAB ':' TAB word ';');
/// the file ends with END. The header's DEPTH is the larger of the data's depth and
/// `paddedDepth`. Every line ends with CR LF.
class MifWriter final : public WordWriter {
public:
    MifWriter(platform::ByteSink& sink, RadixMode radix, const WordLayout& layout,
              const platform::Clock& clock, std::int32_t paddedDepth = 0);

private:
    const char* writeWords(const char* word, std::size_t count, bool shortCopies) override;
    void writeWord(const char* word, std::size_t length) override;
    void writeEnd() override;

    template <std::size_t kFixed> const char* writeRuns(const char* word, std::size_t count);
    void nextAddress();

    /// TAB, the next address in decimal, TAB ':' TAB: copied whole in front of each word,
    /// its last digit counted up in place.
    char m_prefix[32];
    std::size_t m_prefixLength;
};

} // namespace tarnwick
