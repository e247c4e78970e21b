#include "mif_writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

namespace tarnwick {

namespace {

// The prefix (TAB, up to ten address digits, TAB ':' TAB) is copied in one piece this long.
constexpr std::size_t kPrefixCopy = 16;

void appendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

std::string header(RadixMode radix, const WordLayout& layout, const platform::Clock& clock,
                   std::int32_t depth) {
    std::string header;
    AppendBanner(header, "-- ", "\r\n", clock, DateLine::Cp936);
    header.append("\r\n\r\n");
    header.append("WIDTH = ");
    appendNumber(header, layout.dataWidth);
    header.append(";\r\n");
    header.append("DEPTH = ");
    appendNumber(header, depth);
    header.append(";\r\n\r\n");
    header.append("ADDRESS_RADIX = DEC;\r\n");
    // A MIF reader takes the words in the declared radix: binary digits must say BIN.
    header.append(radix == RadixMode::Binary ? "DATA_RADIX = BIN;\r\n\r\n"
                                             : "DATA_RADIX = HEX;\r\n\r\n");
    header.append("CONTENT BEGIN\r\n\r\n");
    return header;
}

} // namespace

MifWriter::MifWriter(platform::ByteSink& sink, RadixMode radix, const WordLayout& layout,
                     const platform::Clock& clock, std::int32_t paddedDepth)
    : WordWriter(sink, layout, paddedDepth,
                 header(radix, layout, clock, std::max(paddedDepth, layout.depth)),
                 32 + static_cast<std::size_t>(std::max(layout.digitsPerWord, 1))) {
    std::memcpy(m_prefix, "\t0\t:\t", 5);
    m_prefixLength = 5;
}

void MifWriter::nextAddress() {
    std::size_t i = m_prefixLength - 4; // the address's last digit
    while (i > 0 && m_prefix[i] == '9')
        m_prefix[i--] = '0';
    if (i > 0) {
        ++m_prefix[i];
        return;
    }
    std::memmove(m_prefix + 2, m_prefix + 1, m_prefixLength - 1); // one digit longer
    m_prefix[1] = '1';
    ++m_prefixLength;
}

void MifWriter::writeWord(const char* word, std::size_t length) {
    char* p = m_chunk.end();
    std::memcpy(p, m_prefix, kPrefixCopy);
    p += m_prefixLength;
    std::memcpy(p, word, length);
    p += length;
    std::memcpy(p, ";\r\n", 3);
    ++m_written;
    nextAddress();
    m_chunk.setEnd(p + 3);
}

const char* MifWriter::writeWords(const char* word, std::size_t count, bool shortCopies) {
    return shortCopies ? writeRuns<kShortWord>(word, count) : writeRuns<0>(word, count);
}

template <std::size_t kFixed>
const char* MifWriter::writeRuns(const char* word, std::size_t count) {
    // The bulk of a large file. Copies of fixed size (the prefix, a short word) compile to
    // a few moves; between ten consecutive addresses only the last digit changes.
    const std::size_t d = digitsPerWord();
    while (count > 0 && !m_chunk.failed()) {
        // Local copies: stores through `p` could otherwise alias the members, which would
        // then be read again for every line.
        char prefix[kPrefixCopy];
        std::memcpy(prefix, m_prefix, kPrefixCopy);
        const std::size_t prefixLength = m_prefixLength;
        const std::size_t last = prefixLength - 4;
        const std::size_t run =
            std::min<std::size_t>(count, static_cast<std::size_t>('9' - prefix[last]) + 1);
        char* p = m_chunk.end();
        const char firstDigit = prefix[last];
        for (std::size_t k = 0; k < run; ++k, word += d) {
            std::memcpy(p, prefix, kPrefixCopy);
            p[last] = static_cast<char>(firstDigit + k); // patched in the output, not the prefix
            p += prefixLength;
            if constexpr (kFixed > 0)
                std::memcpy(p, word, kFixed);
            else
                std::memcpy(p, word, d);
            p += d;
            std::memcpy(p, ";\r\n\0", 4);
            p += 3;
        }
        // The last address written, then counted up with carry.
        m_prefix[last] = static_cast<char>(firstDigit + run - 1);
        m_written += static_cast<std::int32_t>(run);
        count -= run;
        nextAddress();
        m_chunk.setEnd(p);
    }
    return word;
}

void MifWriter::writeEnd() {
    char* p = m_chunk.end();
    std::memcpy(p, "\r\nEND;\r\n", 8);
    m_chunk.setEnd(p + 8);
}

} // namespace tarnwick
