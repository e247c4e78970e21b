#include "coe_writer.h"

#include <string>

namespace tarnwick {

namespace {

std::string header(RadixMode radix, const platform::Clock& clock) {
    std::string header;
    AppendBanner(header, "; ", "\n", clock, DateLine::Ascii);
    header.append(radix == RadixMode::Binary ? "memory_initialization_radix=2;\n"
                                             : "memory_initialization_radix=16;\n");
    header.append("memory_initialization_vector=\n");
    return header;
}

// Each word after the first is preceded by the comma and line end that close the one
// before: the last word's `;` then needs no look back into bytes already handed on.
constexpr std::string_view kBetween = ",\n";

} // namespace

CoeWriter::CoeWriter(platform::ByteSink& sink, RadixMode radix, const WordLayout& layout,
                     const platform::Clock& clock, std::int32_t paddedDepth)
    : WordWriter(sink, layout, paddedDepth, header(radix, clock),
                 4 + static_cast<std::size_t>(std::max(layout.digitsPerWord, 1))) {}

const char* CoeWriter::writeWords(const char* word, std::size_t count, bool shortCopies) {
    if (count > 0 && m_written == 0) {
        writeWord(word, digitsPerWord());
        word += digitsPerWord();
        --count;
    }
    return shortCopies ? writePlain<kShortWord>(word, count, kBetween, {})
                       : writePlain<0>(word, count, kBetween, {});
}

void CoeWriter::writeWord(const char* word, std::size_t length) {
    writePadded(word, length, m_written == 0 ? std::string_view() : kBetween, {});
}

void CoeWriter::writeEnd() {
    char* p = m_chunk.end();
    *p++ = ';';
    *p++ = '\n';
    m_chunk.setEnd(p);
}

} // namespace tarnwick
