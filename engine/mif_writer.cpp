#include "mif_writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::size_t kChunk = std::size_t{256} * 1024;

void appendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

} // namespace

MifWriter::MifWriter(ByteSink& sink, RadixMode radix, const WordLayout& layout,
                     const platform::Clock& clock, std::int32_t paddedDepth)
    : m_sink(sink), m_layout(layout), m_paddedDepth(std::max(paddedDepth, layout.depth)),
      m_addressFirst(sizeof m_address - 1) {
    std::memset(m_address, '0', sizeof m_address);
    const std::size_t digitsPerWord = static_cast<std::size_t>(std::max(layout.digitsPerWord, 1));
    // A word of non-ASCII characters may take two bytes for each.
    m_longestLine = 32 + 2 * digitsPerWord;
    m_word.reserve(digitsPerWord);
    // A chunk no larger than the whole file needs: small files stay cheap.
    const std::size_t wholeFile = 4096 + static_cast<std::size_t>(m_paddedDepth) * m_longestLine;
    std::string header;
    header.append(kOwnershipLine).append("\r\n");
    header.append(kRightsHolderLine).append("\r\n");
    header.append("-- Thank you for use Vetrask's design tools\r\n");
    header.append("-- If you have better advice or find some bug in this software\r\n");
    header.append(kContactLine).append("\r\n");
    const std::u16string date = clock.Date();
    const std::u16string time = clock.Time();
    m_encoder.append(u"-- Design Date\uFF1A" + date + time, header);
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
    m_out.resize(std::max(std::min(kChunk, wholeFile), header.size()) + m_longestLine);
    std::memcpy(m_out.data(), header.data(), header.size());
    m_used = header.size();
}

void MifWriter::flushIfFull() {
    if (m_used + m_longestLine > m_out.size()) {
        m_sink.write(std::string_view(m_out.data(), m_used));
        m_used = 0;
    }
}

void MifWriter::writeLine(std::u16string_view word) {
    // Content lines are the bulk of a large file: written straight into the chunk.
    char* p = m_out.data() + m_used;
    *p++ = '\t';
    const std::size_t addressLength = sizeof m_address - m_addressFirst;
    std::memcpy(p, m_address + m_addressFirst, addressLength);
    p += addressLength;
    *p++ = '\t';
    *p++ = ':';
    *p++ = '\t';
    char* const wordStart = p;
    bool ascii = true;
    for (char16_t c : word) {
        ascii &= c < 0x80;
        *p++ = static_cast<char>(c);
    }
    if (!ascii) {
        std::string encoded;
        m_encoder.append(word, encoded);
        std::memcpy(wordStart, encoded.data(), encoded.size());
        p = wordStart + encoded.size();
    }
    *p++ = ';';
    *p++ = '\r';
    *p++ = '\n';
    m_used = static_cast<std::size_t>(p - m_out.data());
    ++m_written;

    std::size_t i = sizeof m_address;
    while (i > m_addressFirst && m_address[i - 1] == '9')
        m_address[--i] = '0';
    if (i == m_addressFirst)
        m_address[--m_addressFirst] = '1';
    else
        ++m_address[i - 1];
    flushIfFull();
}

void MifWriter::addDigits(std::u16string_view digits) {
    const std::size_t d = static_cast<std::size_t>(m_layout.digitsPerWord);
    while (!digits.empty() && m_written < m_layout.depth && !m_sink.failed()) {
        if (!m_word.empty() || digits.size() < d) { // a word split between two pieces
            const std::size_t take = std::min(d - m_word.size(), digits.size());
            m_word.append(digits.substr(0, take));
            digits.remove_prefix(take);
            if (m_word.size() == d) {
                writeLine(m_word);
                m_word.clear();
            }
            continue;
        }
        writeLine(digits.substr(0, d));
        digits.remove_prefix(d);
    }
}

void MifWriter::finish() {
    if (!m_word.empty() && m_written < m_layout.depth)
        writeLine(m_word); // the short last word, written short
    m_word.clear();
    const std::u16string zeros(static_cast<std::size_t>(std::max(m_layout.digitsPerWord, 1)), u'0');
    while (m_written < m_paddedDepth && !m_sink.failed())
        writeLine(zeros);
    m_out.resize(m_used);
    m_out.append("\r\nEND;\r\n");
    m_sink.write(m_out);
    m_out.clear();
    m_used = 0;
}

void WriteMif(ByteSink& sink, RadixMode radix, const WordLayout& layout, const WordList& words,
              const platform::Clock& clock) {
    MifWriter writer(sink, radix, layout, clock);
    for (std::int32_t k = 0; k < words.size(); ++k)
        writer.addDigits(words[k]);
    writer.finish();
}

std::optional<platform::IoError> WriteMifFile(const std::filesystem::path& destination,
                                              RadixMode radix, const WordLayout& layout,
                                              const WordList& words, const platform::Clock& clock) {
    platform::AtomicFileWriter writer(destination);
    if (!writer.open())
        return writer.error();
    FileSink sink(writer);
    WriteMif(sink, radix, layout, words, clock);
    if (!writer.commit())
        return writer.error();
    return std::nullopt;
}

} // namespace tarnwick
