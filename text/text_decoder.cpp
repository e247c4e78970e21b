#include "text_decoder.h"

#include "ascii.h"
#include "platform/memory.h"
#include "unicode.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace tarnwick::text {

namespace {

struct Mark {
    std::string_view bytes;
    TextEncoding encoding;
};
constexpr std::array<Mark, 3> kMarks{{
    {"\xEF\xBB\xBF", TextEncoding::Utf8},
    {"\xFF\xFE", TextEncoding::Utf16Le},
    {"\xFE\xFF", TextEncoding::Utf16Be},
}};

std::unique_ptr<platform::CharsetDecoder> decoderOf(TextEncoding encoding) {
    if (encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be)
        return OpenUtf16Decoder(encoding == TextEncoding::Utf16Be);
    return OpenUtf8Decoder();
}

// Widens ASCII bytes to UTF-16, appended to `out`.
void appendAscii(std::string_view ascii, std::u16string& out) {
    const std::size_t base = out.size();
    out.resize(base + ascii.size());
    WidenAscii(ascii.data(), ascii.size(), out.data() + base);
}

} // namespace

bool IsValidUtf8(std::string_view bytes, bool mayBeCut) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        const Utf8Scan scan = ScanUtf8(p + i, n - i);
        if (scan.length != 0 && scan.valid == scan.length) {
            i += scan.length;
            continue;
        }
        return scan.length != 0 && i + scan.valid == n && mayBeCut;
    }
    return true;
}

TextDecoder::TextDecoder(TextEncoding encoding) : m_encoding(encoding) {}

void TextDecoder::decode(std::string_view bytes, std::u16string& out, bool last) {
    std::string joined;
    if (!m_head.empty()) {
        joined = m_head + std::string(bytes);
        bytes = joined;
        m_head.clear();
    }
    if (!m_markChecked) {
        // A mark is at most three bytes; they may arrive in pieces of one.
        bool waiting = false;
        for (const Mark& mark : kMarks) {
            if (m_encoding != TextEncoding::Auto && m_encoding != mark.encoding)
                continue;
            if (bytes.substr(0, mark.bytes.size()) == mark.bytes) {
                m_encoding = mark.encoding;
                bytes.remove_prefix(mark.bytes.size());
                m_markFound = true;
                waiting = false;
                break;
            }
            if (bytes.size() < mark.bytes.size() && mark.bytes.substr(0, bytes.size()) == bytes)
                waiting = true;
        }
        if (waiting && !last) {
            m_head.assign(bytes);
            return;
        }
        m_markChecked = true;
    }
    if (m_encoding == TextEncoding::Auto) {
        // ASCII reads the same in every candidate: decode it before anything is decided.
        const std::size_t ascii = AsciiRun(bytes.data(), bytes.size());
        appendAscii(bytes.substr(0, ascii), out);
        bytes.remove_prefix(ascii);
        if (bytes.empty())
            return;
        if (!IsValidUtf8(bytes, !last)) {
            m_encoding = TextEncoding::Cp936;
        } else if (bytes.size() < 4 && !IsValidUtf8(bytes, false)) {
            // Only the start of one character: too little to decide on.
            m_head.assign(bytes);
            return;
        } else {
            m_encoding = TextEncoding::Utf8;
        }
    }
    decodeDecided(bytes, out, last);
}

bool TextDecoder::asciiPassesThrough() const {
    if (!m_markChecked || !m_head.empty() || m_cp936.pending())
        return false;
    switch (m_encoding) {
    case TextEncoding::Auto:
    case TextEncoding::Cp936:
        return true;
    case TextEncoding::Utf8: {
        return !m_converter || m_converter->idle();
    }
    default:
        return false;
    }
}

void TextDecoder::decodeDecided(std::string_view bytes, std::u16string& out, bool last) {
    if (m_encoding == TextEncoding::Cp936) {
        m_cp936.decode(bytes, out, last);
        return;
    }
    if (!m_converter)
        m_converter = decoderOf(m_encoding);
    m_converter->decode(bytes, last, out);
}

std::u16string DecodeText(std::string_view bytes, TextEncoding encoding) {
    std::u16string out;
    out.reserve(bytes.size() + 4);
    // Faulting in hundreds of megabytes page by page costs more than decoding them.
    platform::AdviseHugePages(out.data(), (bytes.size() + 4) * sizeof(char16_t));
    TextDecoder decoder(encoding);
    decoder.decode(bytes, out, true);
    return out;
}

} // namespace tarnwick::text
