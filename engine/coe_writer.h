#pragma once

#include "word_writer.h"

namespace tarnwick {

/// A coefficient file, as FPGA vendors' memory generators read it: the banner as `;`
/// comments, memory_initialization_radix=16 (2 for binary digits), then
/// memory_initialization_vector= and the words one a line, separated by commas, the last
/// followed by `;`. Every word has the full width, a short last word padded in front with
/// zeros. Lines end with LF.
class CoeWriter final : public WordWriter {
public:
    CoeWriter(platform::ByteSink& sink, RadixMode radix, const WordLayout& layout,
              const platform::Clock& clock, std::int32_t paddedDepth = 0);

private:
    const char* writeWords(const char* word, std::size_t count, bool shortCopies) override;
    void writeWord(const char* word, std::size_t length) override;
    void writeEnd() override;
};

} // namespace tarnwick
