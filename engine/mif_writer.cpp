#include "mif_writer.h"

#include "platform/cp936.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::size_t kChunk = std::size_t{256} * 1024;

class SinkAdapter final : public ByteSink {
public:
    explicit SinkAdapter(platform::AtomicFileWriter& writer) : m_writer(writer) {}
    void write(std::string_view bytes) override { m_writer.write(bytes); }
    bool failed() const override { return m_writer.failed(); }

private:
    platform::AtomicFileWriter& m_writer;
};

void appendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// A decimal address that counts up by one without a division per line.
class DecimalCounter {
public:
    std::string_view text() const { return {m_digits + m_first, sizeof m_digits - m_first}; }
    void increment() {
        std::size_t i = sizeof m_digits;
        while (i > m_first && m_digits[i - 1] == '9')
            m_digits[--i] = '0';
        if (i == m_first)
            m_digits[--m_first] = '1';
        else
            ++m_digits[i - 1];
    }

private:
    char m_digits[12] = {'0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
    std::size_t m_first = sizeof m_digits - 1;
};

} // namespace

void WriteMif(ByteSink& sink, RadixMode radix, const WordLayout& layout, const WordList& words,
              const platform::Clock& clock) {
    platform::Cp936Encoder encoder;
    std::string out;
    out.reserve(4096);

    out.append(kOwnershipLine).append("\r\n");
    out.append(kRightsHolderLine).append("\r\n");
    out.append("-- Thank you for use Vetrask's design tools\r\n");
    out.append("-- If you have better advice or find some bug in this software\r\n");
    out.append(kContactLine).append("\r\n");
    const std::u16string date = clock.Date();
    const std::u16string time = clock.Time();
    encoder.append(u"-- Design Date\uFF1A" + date + time, out);
    out.append("\r\n\r\n\r\n");
    out.append("WIDTH = ");
    appendNumber(out, layout.dataWidth);
    out.append(";\r\n");
    out.append("DEPTH = ");
    appendNumber(out, layout.depth);
    out.append(";\r\n\r\n");
    out.append("ADDRESS_RADIX = DEC;\r\n");
    // A MIF reader takes the words in the declared radix: binary digits must say BIN.
    out.append(radix == RadixMode::Binary ? "DATA_RADIX = BIN;\r\n\r\n"
                                          : "DATA_RADIX = HEX;\r\n\r\n");
    out.append("CONTENT BEGIN\r\n\r\n");

    // Content lines are the bulk of a large file: write them straight into the chunk.
    const std::int32_t depth = words.size();
    const std::size_t longestLine = 32 + 2 * (depth > 0 ? words[0].size() : 0);
    DecimalCounter address;
    std::size_t used = out.size();
    // A chunk no larger than the whole file needs: small files stay cheap.
    const std::size_t wholeFile = used + static_cast<std::size_t>(depth) * longestLine;
    out.resize(std::min(std::max(kChunk, used), wholeFile) + longestLine);
    for (std::int32_t k = 0; k < depth; ++k, address.increment()) {
        if (used + longestLine > out.size()) {
            sink.write(std::string_view(out.data(), used));
            used = 0;
            if (sink.failed())
                return;
        }
        char* p = out.data() + used;
        *p++ = '\t';
        const std::string_view number = address.text();
        std::memcpy(p, number.data(), number.size());
        p += number.size();
        *p++ = '\t';
        *p++ = ':';
        *p++ = '\t';
        const std::u16string_view word = words[k];
        char* wordStart = p;
        bool ascii = true;
        for (char16_t c : word) {
            ascii &= c < 0x80;
            *p++ = static_cast<char>(c);
        }
        if (!ascii) {
            std::string encoded;
            encoder.append(word, encoded);
            std::memcpy(wordStart, encoded.data(), encoded.size());
            p = wordStart + encoded.size();
        }
        *p++ = ';';
        *p++ = '\r';
        *p++ = '\n';
        used = static_cast<std::size_t>(p - out.data());
    }
    out.resize(used);
    out.append("\r\nEND;\r\n");
    sink.write(out);
}

std::optional<platform::IoError> WriteMifFile(const std::filesystem::path& destination,
                                              RadixMode radix, const WordLayout& layout,
                                              const WordList& words, const platform::Clock& clock) {
    platform::AtomicFileWriter writer(destination);
    if (!writer.open())
        return writer.error();
    SinkAdapter sink(writer);
    WriteMif(sink, radix, layout, words, clock);
    if (!writer.commit())
        return writer.error();
    return std::nullopt;
}

} // namespace tarnwick
