#include "cp936.h"

#include "ascii.h"

#include <cstdint>

namespace tarnwick::text {

namespace {

// A byte below 0x40 is neither a lead nor a trail byte in GBK, so it always starts a
// character of its own: a safe place to end a run handed to the converter.
bool isCharBoundary(unsigned char b) {
    return b < 0x40;
}

} // namespace

void Cp936Encoder::append(std::u16string_view text, std::string& out) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        std::size_t j = i;
        while (j < n && text[j] < 0x80)
            ++j;
        if (j > i) {
            const std::size_t base = out.size();
            out.resize(base + (j - i));
            for (std::size_t k = i; k < j; ++k)
                out[base + (k - i)] = static_cast<char>(text[k]);
        }
        i = j;
        while (j < n && text[j] >= 0x80)
            ++j;
        if (j > i)
            appendNonAscii(text.substr(i, j - i), out);
        i = j;
    }
}

void Cp936Encoder::appendNonAscii(std::u16string_view run, std::string& out) {
    if (!m_encoding)
        m_encoding = platform::OpenCp936Encoding();
    m_encoding->encode(run, out);
}

void Cp936Decoder::decode(std::string_view bytes, std::u16string& out, bool last) {
    std::size_t pos = out.size();
    out.resize(pos + bytes.size() + 2); // one unit per byte, two for a held lead byte
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        if (!m_pending) {
            // ASCII around ICU.
            const std::size_t run = AsciiRun(bytes.data() + i, n - i);
            WidenAscii(bytes.data() + i, run, out.data() + pos);
            pos += run;
            i += run;
            if (i == n)
                break;
        }
        std::size_t end = i + 1;
        while (end < n && !isCharBoundary(static_cast<unsigned char>(bytes[end])))
            ++end;
        // A run that reaches the end of the piece may end in a lead byte whose trail byte
        // is in the next piece: the converter keeps it until then.
        const bool flush = end < n || last;
        out.resize(pos);
        decodeNonAscii(bytes.substr(i, end - i), flush, out);
        pos = out.size();
        out.resize(pos + (n - end) + 2);
        m_pending = !flush;
        i = end;
    }
    out.resize(pos);
    if (last && m_pending) {
        decodeNonAscii({}, true, out);
        m_pending = false;
    }
}

void Cp936Decoder::decodeNonAscii(std::string_view bytes, bool flush, std::u16string& out) {
    if (!m_converter)
        m_converter = platform::OpenCp936Decoder();
    m_converter->decode(bytes, flush, out);
}

std::string EncodeCp936(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    Cp936Encoder encoder;
    encoder.append(text, out);
    return out;
}

} // namespace tarnwick::text
