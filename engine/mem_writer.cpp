#include "mem_writer.h"

#include <string>

namespace tarnwick {

namespace {

std::string header(const platform::Clock& clock) {
    std::string header;
    AppendBanner(header, "// ", "\n", clock, DateLine::Ascii);
    return header;
}

} // namespace

MemWriter::MemWriter(platform::ByteSink& sink, const WordLayout& layout,
                     const platform::Clock& clock, std::int32_t paddedDepth)
    : WordWriter(sink, layout, paddedDepth, header(clock),
                 2 + static_cast<std::size_t>(std::max(layout.digitsPerWord, 1))) {}

const char* MemWriter::writeWords(const char* word, std::size_t count, bool shortCopies) {
    return shortCopies ? writePlain<kShortWord>(word, count, {}, "\n")
                       : writePlain<0>(word, count, {}, "\n");
}

void MemWriter::writeWord(const char* word, std::size_t length) {
    writePadded(word, length, {}, "\n");
}

} // namespace tarnwick
