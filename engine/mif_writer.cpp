#include "mif_writer.h"

#include "platform/cp936.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
// Room past the end of a line: prefixes and short words are copied in fixed sizes.
constexpr std::size_t kSlack = 64;
// The prefix (TAB, up to ten address digits, TAB ':' TAB) is copied in one piece this long.
constexpr std::size_t kPrefixCopy = 16;

void appendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

} // namespace

MifWriter::MifWriter(ByteSink& sink, RadixMode radix, const WordLayout& layout,
                     const platform::Clock& clock, std::int32_t paddedDepth)
    : m_sink(sink), m_layout(layout), m_paddedDepth(std::max(paddedDepth, layout.depth)),
      m_digitsPerWord(static_cast<std::size_t>(std::max(layout.digitsPerWord, 1))) {
    std::string header;
    header.append(kOwnershipLine).append("\r\n");
    header.append(kRightsHolderLine).append("\r\n");
    header.append("-- Thank you for use Vetrask's design tools\r\n");
    header.append("-- If you have better advice or find some bug in this software\r\n");
    header.append(kContactLine).append("\r\n");
    const std::u16string date = clock.Date();
    const std::u16string time = clock.Time();
    header.append(platform::EncodeCp936(u"-- Design Date\uFF1A" + date + time));
    header.append("\r\n\r\n\r\n");
    header.append("WIDTH = ");
    appendNumber(header, layout.dataWidth);
    header.append(";\r\n");
    header.append("DEPTH = ");
    appendNumber(header, m_paddedDepth);
    header.append(";\r\n\r\n");
    header.append("ADDRESS_RADIX = DEC;\r\n");
    // A MIF reader takes the words in the declared radix: binary digits must say BIN.
    header.append(radix == RadixMode::Binary ? "DATA_RADIX = BIN;\r\n\r\n"
                                             : "DATA_RADIX = HEX;\r\n\r\n");
    header.append("CONTENT BEGIN\r\n\r\n");

    // A chunk no larger than the whole file needs: small files stay cheap.
    const std::size_t longestLine = 32 + m_digitsPerWord;
    const std::size_t wholeFile =
        header.size() + static_cast<std::size_t>(m_paddedDepth) * longestLine + 16;
    const std::size_t chunk = std::max(std::min(kChunk, wholeFile), header.size());
    // Lines are written ten at a time before the chunk is checked.
    m_out = std::make_unique_for_overwrite<char[]>(chunk + 10 * longestLine + kSlack);
    m_flushAt = chunk;
    std::memcpy(m_out.get(), header.data(), header.size());
    m_used = header.size();

    std::memcpy(m_prefix, "\t0\t:\t", 5);
    m_prefixLength = 5;
}

void MifWriter::flush() {
    m_sink.write(std::string_view(m_out.get(), m_used));
    m_used = 0;
    m_failed = m_sink.failed();
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

void MifWriter::writeLine(const char* word, std::size_t length) {
    char* p = m_out.get() + m_used;
    std::memcpy(p, m_prefix, kPrefixCopy);
    p += m_prefixLength;
    std::memcpy(p, word, length);
    p += length;
    std::memcpy(p, ";\r\n", 3);
    m_used = static_cast<std::size_t>(p + 3 - m_out.get());
    ++m_written;
    nextAddress();
    if (m_used > m_flushAt)
        flush();
}

template <std::size_t kFixed>
const char* MifWriter::writeWords(const char* word, std::size_t count) {
    // The bulk of a large file. Copies of fixed size (the prefix, a short word) compile to
    // a few moves; between ten consecutive addresses only the last digit changes.
    const std::size_t d = m_digitsPerWord;
    char* const out = m_out.get();
    while (count > 0 && !m_failed) {
        // Local copies: stores through `p` could otherwise alias the members, which would
        // then be read again for every line.
        char prefix[kPrefixCopy];
        std::memcpy(prefix, m_prefix, kPrefixCopy);
        const std::size_t prefixLength = m_prefixLength;
        const std::size_t last = prefixLength - 4;
        const std::size_t run =
            std::min<std::size_t>(count, static_cast<std::size_t>('9' - prefix[last]) + 1);
        char* p = out + m_used;
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
        m_used = static_cast<std::size_t>(p - out);
        m_written += static_cast<std::int32_t>(run);
        count -= run;
        nextAddress();
        if (m_used > m_flushAt)
            flush();
    }
    return word;
}

void MifWriter::addDigits(std::string_view digits) {
    const std::size_t d = m_digitsPerWord;
    if (!m_word.empty() && m_written < m_layout.depth) { // a word split between two pieces
        const std::size_t take = std::min(d - m_word.size(), digits.size());
        m_word.append(digits.substr(0, take));
        digits.remove_prefix(take);
        if (m_word.size() < d)
            return;
        writeLine(m_word.data(), d);
        m_word.clear();
    }
    std::size_t words = std::min<std::size_t>(
        digits.size() / d, static_cast<std::size_t>(std::max(m_layout.depth - m_written, 0)));
    const char* word = digits.data();
    if (d <= kShortWord) {
        // Whole 16-byte copies may read past a word, never past the digits given.
        const std::size_t fixed = digits.size() >= kShortWord
                                      ? std::min(words, (digits.size() - kShortWord) / d + 1)
                                      : 0;
        word = writeWords<kShortWord>(word, fixed);
        words -= fixed;
    }
    word = writeWords<0>(word, m_failed ? 0 : words);
    digits.remove_prefix(static_cast<std::size_t>(word - digits.data()));
    if (m_written < m_layout.depth && digits.size() < d && !m_failed)
        m_word.assign(digits);
}

void MifWriter::finish() {
    if (!m_word.empty() && m_written < m_layout.depth)
        writeLine(m_word.data(), m_word.size()); // the short last word, written short
    m_word.clear();
    const std::string zeros(m_digitsPerWord, '0');
    while (m_written < m_paddedDepth && !m_failed)
        writeLine(zeros.data(), zeros.size());
    std::memcpy(m_out.get() + m_used, "\r\nEND;\r\n", 8);
    m_used += 8;
    flush();
}

} // namespace tarnwick
