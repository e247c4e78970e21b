#include "unicode.h"

#include "platform/framed_decoder.h"

namespace tarnwick::text {

namespace {

using platform::FramedDecoder;

// Appends `run`, which holds only whole, valid sequences, as UTF-16.
void appendValidUtf8(std::string_view run, std::u16string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(run.data());
    const std::size_t n = run.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        const std::size_t length = Utf8LeadOf(b).length;
        char32_t c = b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            c = c << 6 | (p[i + k] & 0x3F);
        i += length;
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
}

class Utf8Decoder final : public FramedDecoder {
protected:
    std::size_t complete(std::string_view bytes, bool, std::u16string& out) override {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        out.reserve(out.size() + n);
        std::size_t start = 0; // of the valid run not yet converted
        std::size_t i = 0;
        while (i < n) {
            const unsigned char b = p[i];
            if (b < 0x80) {
                ++i;
                continue;
            }
            // The longest start of a valid sequence: that much is one U+FFFD if it ends short.
            const Utf8Scan scan = ScanUtf8(p + i, n - i);
            if (scan.length != 0 && scan.valid == scan.length) {
                i += scan.length;
                continue;
            }
            if (scan.length != 0 && i + scan.valid == n)
                break; // cut by the end of the piece
            appendValidUtf8(bytes.substr(start, i - start), out);
            out += kReplacement;
            i += scan.valid;
            start = i;
        }
        appendValidUtf8(bytes.substr(start, i - start), out);
        return i;
    }
};

class Utf16Decoder final : public FramedDecoder {
public:
    explicit Utf16Decoder(bool bigEndian) : m_bigEndian(bigEndian) {}

protected:
    std::size_t complete(std::string_view bytes, bool, std::u16string& out) override {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        const auto unitAt = [&](std::size_t i) {
            return static_cast<char16_t>(m_bigEndian ? (p[i] << 8 | p[i + 1])
                                                     : (p[i + 1] << 8 | p[i]));
        };
        out.reserve(out.size() + n / 2);
        std::size_t i = 0;
        while (i + 1 < n) {
            const char16_t unit = unitAt(i);
            if (unit < 0xD800 || unit > 0xDFFF) {
                out += unit;
                i += 2;
            } else if (unit >= 0xDC00) { // a trail surrogate with no lead
                out += kReplacement;
                i += 2;
            } else if (i + 3 >= n) {
                break; // its trail may be in the next piece
            } else if (const char16_t next = unitAt(i + 2); next >= 0xDC00 && next <= 0xDFFF) {
                out += unit;
                out += next;
                i += 4;
            } else {
                out += kReplacement;
                i += 2;
            }
        }
        return i;
    }

private:
    bool m_bigEndian;
};

} // namespace

std::unique_ptr<platform::CharsetDecoder> OpenUtf8Decoder() {
    return std::make_unique<Utf8Decoder>();
}

std::unique_ptr<platform::CharsetDecoder> OpenUtf16Decoder(bool bigEndian) {
    return std::make_unique<Utf16Decoder>(bigEndian);
}

} // namespace tarnwick::text
