#pragma once

#include "word_writer.h"

namespace tarnwick {

/// A memory file as Verilog's $readmemh (hexadecimal digits) or $readmemb (binary digits)
/// reads it: the banner as `//` comments, then one word a line, with no addresses. Every
/// word has the full width, a short last word padded in front with zeros. Lines end with LF.
class MemWriter final : public WordWriter {
public:
    MemWriter(platform::ByteSink& sink, const WordLayout& layout, const platform::Clock& clock,
              std::int32_t paddedDepth = 0);

private:
    const char* writeWords(const char* word, std::size_t count, bool shortCopies) override;
    void writeWord(const char* word, std::size_t length) override;
    void writeEnd() override {}
};

} // namespace tarnwick
