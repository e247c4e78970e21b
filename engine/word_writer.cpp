#include "word_writer.h"

#include "platform/memory.h"
#include "text/cp936.h"

#include <cstring>

namespace tarnwick {

namespace {

constexpr std::size_t kChunk = std::size_t{256} << 10;
// Room past the end of a line: prefixes and short words are copied in fixed sizes.
constexpr std::size_t kSlack = 64;

} // namespace

void AppendBanner(std::string& out, std::string_view comment, std::string_view lineEnd,
                  const platform::Clock& clock, DateLine dateLine) {
    auto line = [&](std::string_view text) {
        out.append(comment).append(text.substr(text.find(' ') + 1)).append(lineEnd);
    };
    line(kOwnershipLine);
    line(kRightsHolderLine);
    line("-- Thank you for use Vetrask's design tools");
    line("-- If you have better advice or find some bug in this software");
    line(kContactLine);
    const std::u16string date = clock.Date();
    const std::u16string time = clock.Time();
    if (dateLine == DateLine::Cp936) {
        out.append(comment).append(text::EncodeCp936(u"Design Date\uFF1A" + date + time));
    } else {
        out.append(comment).append("Design Date: ");
        for (char16_t c : date + time)
            out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    out.append(lineEnd);
}

ChunkBuffer::ChunkBuffer(platform::ByteSink& sink, std::size_t expected, std::string_view head,
                         std::size_t overrun)
    : m_sink(sink) {
    const std::size_t chunk = std::max(std::min(kChunk, expected), head.size());
    m_out = std::make_unique_for_overwrite<char[]>(chunk + overrun + kSlack);
    platform::PopulateWritable(m_out.get(), chunk + overrun + kSlack);
    m_flushAt = chunk;
    std::memcpy(m_out.get(), head.data(), head.size());
    m_used = head.size();
}

void ChunkBuffer::flush() {
    if (m_used == 0)
        return;
    m_sink.write(std::string_view(m_out.get(), m_used));
    m_used = 0;
    m_failed = m_sink.failed();
}

WordWriter::WordWriter(platform::ByteSink& sink, const WordLayout& layout, std::int32_t paddedDepth,
                       std::string_view head, std::size_t longestLine)
    // Lines are written ten at a time before the chunk is checked.
    : m_chunk(sink,
              head.size() +
                  static_cast<std::size_t>(std::max(paddedDepth, layout.depth)) * longestLine + 16,
              head, 10 * longestLine),
      m_layout(layout), m_paddedDepth(paddedDepth),
      m_digitsPerWord(static_cast<std::size_t>(std::max(layout.digitsPerWord, 1))) {
    // Hexadecimal words narrower than their digits: the first digit holds the rest.
    const std::int32_t topBits =
        layout.dataWidth - 4 * (static_cast<std::int32_t>(m_digitsPerWord) - 1);
    if (layout.dataWidth > 0 && layout.dataWidth != layout.digitsPerWord && topBits < 4)
        m_topMost = (1u << topBits) - 1;
}

void WordWriter::writePadded(const char* word, std::size_t length, std::string_view before,
                             std::string_view after) {
    char* p = std::copy(before.begin(), before.end(), m_chunk.end());
    const std::size_t pad = m_digitsPerWord > length ? m_digitsPerWord - length : 0;
    p = std::fill_n(p, pad, '0');
    p = std::copy(word, word + length, p);
    p = std::copy(after.begin(), after.end(), p);
    ++m_written;
    m_chunk.setEnd(p);
}

void WordWriter::addDigits(std::string_view digits) {
    const std::size_t d = m_digitsPerWord;
    if (m_topMost < 15 && !m_overWide) {
        for (std::size_t i = (d - m_seen % d) % d; i < digits.size(); i += d)
            if (DigitValue(static_cast<unsigned char>(digits[i])) > m_topMost) {
                m_overWide = (m_seen + i) / d;
                break;
            }
        m_seen += digits.size();
    }
    if (!m_word.empty() && m_written < m_layout.depth) { // a word split between two pieces
        const std::size_t take = std::min(d - m_word.size(), digits.size());
        m_word.append(digits.substr(0, take));
        digits.remove_prefix(take);
        if (m_word.size() < d)
            return;
        writeWord(m_word.data(), d);
        m_word.clear();
    }
    std::size_t words = std::min<std::size_t>(
        digits.size() / d, static_cast<std::size_t>(std::max(m_layout.depth - m_written, 0)));
    const char* word = digits.data();
    if (d <= kShortWord) {
        // Whole 16-byte copies may read past a word, never past the digits given.
        const std::size_t fixed =
            digits.size() >= kShortWord ? std::min(words, (digits.size() - kShortWord) / d + 1) : 0;
        word = writeWords(word, fixed, true);
        words -= fixed;
    }
    word = writeWords(word, m_chunk.failed() ? 0 : words, false);
    digits.remove_prefix(static_cast<std::size_t>(word - digits.data()));
    if (m_written < m_layout.depth && digits.size() < d && !m_chunk.failed())
        m_word.assign(digits);
}

void WordWriter::finish() {
    if (!m_word.empty() && m_written < m_layout.depth)
        writeWord(m_word.data(), m_word.size()); // the short last word, written short
    m_word.clear();
    if (m_padding.empty() || m_padding.size() % m_digitsPerWord != 0)
        m_padding.assign(m_digitsPerWord, '0');
    const std::int32_t depth = std::max(m_paddedDepth, m_layout.depth);
    for (std::size_t at = 0; m_written < depth && !m_chunk.failed();
         at = (at + m_digitsPerWord) % m_padding.size())
        writeWord(m_padding.data() + at, m_digitsPerWord);
    writeEnd();
    m_chunk.flush();
}

} // namespace tarnwick
