#include "platform/charset.h"

#include <windows.h>

#include <cstdint>

namespace tarnwick::platform {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr UINT kCp936 = 936;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16");

// Appends what the code page makes of `run`, which holds only whole, valid characters: the
// framing around it decides what is invalid, so no byte after a bad one is ever swallowed.
void appendValid(UINT codePage, std::string_view run, std::u16string& out) {
    if (run.empty())
        return;
    const std::size_t base = out.size();
    out.resize(base + run.size()); // at most one unit per byte
    const int made = MultiByteToWideChar(codePage, 0, run.data(), static_cast<int>(run.size()),
                                         reinterpret_cast<wchar_t*>(out.data() + base),
                                         static_cast<int>(run.size()));
    if (made <= 0) {
        out.resize(base);
        out.append(run.size(), kReplacement);
        return;
    }
    out.resize(base + static_cast<std::size_t>(made));
}

// One decoder for the three kinds: `complete` decodes what it can of the bytes and returns
// how many it took; the rest (a character cut by the end, at most three bytes) waits for
// the next piece, or with `flush` becomes one U+FFFD.
class FramedDecoder : public CharsetDecoder {
public:
    void decode(std::string_view bytes, bool flush, std::u16string& out) override {
        if (!m_held.empty()) {
            // The held bytes with the first few of this piece make whole characters.
            const bool all = bytes.size() <= 4;
            std::string joint = m_held + std::string(bytes.substr(0, all ? bytes.size() : 4));
            const std::size_t taken = complete(joint, all && flush, out);
            const std::size_t held = m_held.size();
            if (all) {
                m_held = joint.substr(taken);
                finish(flush, out);
                return;
            }
            m_held.clear();
            bytes.remove_prefix(taken - held);
        }
        const std::size_t taken = complete(bytes, flush, out);
        m_held.assign(bytes.substr(taken));
        finish(flush, out);
    }

    bool idle() const override { return m_held.empty(); }

protected:
    virtual std::size_t complete(std::string_view bytes, bool flush, std::u16string& out) = 0;

private:
    void finish(bool flush, std::u16string& out) {
        if (flush && !m_held.empty()) {
            out += kReplacement;
            m_held.clear();
        }
    }

    std::string m_held;
};

class Cp936Decoder final : public FramedDecoder {
protected:
    std::size_t complete(std::string_view bytes, bool, std::u16string& out) override {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        std::size_t start = 0; // of the valid run not yet converted
        std::size_t i = 0;
        while (i < n) {
            const unsigned char b = p[i];
            if (b < 0x81 || b == 0xFF) { // ASCII, the euro sign 0x80 and 0xFF stand alone
                ++i;
                continue;
            }
            if (i + 1 == n)
                break; // the trail byte is in the next piece
            const unsigned char t = p[i + 1];
            if (t >= 0x40 && t <= 0xFE && t != 0x7F) {
                i += 2;
                continue;
            }
            // A lead byte with a byte that cannot trail it: one U+FFFD, and that byte is
            // read on its own.
            appendValid(kCp936, bytes.substr(start, i - start), out);
            out += kReplacement;
            start = ++i;
        }
        appendValid(kCp936, bytes.substr(start, i - start), out);
        return i;
    }
};

class Utf8Decoder final : public FramedDecoder {
protected:
    std::size_t complete(std::string_view bytes, bool, std::u16string& out) override {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        std::size_t start = 0;
        std::size_t i = 0;
        while (i < n) {
            const unsigned char b = p[i];
            if (b < 0x80) {
                ++i;
                continue;
            }
            std::size_t length = 0;
            unsigned char low = 0x80, high = 0xBF; // the range of the second byte
            if (b >= 0xC2 && b <= 0xDF) {
                length = 2;
            } else if (b >= 0xE0 && b <= 0xEF) {
                length = 3;
                low = b == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
                high = b == 0xED ? 0x9F : 0xBF; // no surrogates
            } else if (b >= 0xF0 && b <= 0xF4) {
                length = 4;
                low = b == 0xF0 ? 0x90 : 0x80;
                high = b == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
            }
            // The longest start of a valid sequence: that much is one U+FFFD if it ends short.
            std::size_t k = 1;
            while (k < length && i + k < n) {
                const unsigned char t = p[i + k];
                if (k == 1 ? (t < low || t > high) : (t < 0x80 || t > 0xBF))
                    break;
                ++k;
            }
            if (length != 0 && k == length) {
                i += length;
                continue;
            }
            if (length != 0 && i + k == n)
                break; // cut by the end of the piece
            appendValid(CP_UTF8, bytes.substr(start, i - start), out);
            out += kReplacement;
            i += k;
            start = i;
        }
        appendValid(CP_UTF8, bytes.substr(start, i - start), out);
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

class WindowsCp936Encoding final : public Cp936Encoding {
public:
    void encode(std::u16string_view text, std::string& out) override {
        // The code page has nothing beyond U+FFFF: a surrogate pair is one '?', and so is
        // a lone surrogate. The code page sees only the rest.
        std::size_t start = 0;
        for (std::size_t i = 0; i < text.size();) {
            const char16_t c = text[i];
            if (c < 0xD800 || c > 0xDFFF) {
                ++i;
                continue;
            }
            encodeValid(text.substr(start, i - start), out);
            out += '?';
            const bool pair = c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                              text[i + 1] <= 0xDFFF;
            i += pair ? 2 : 1;
            start = i;
        }
        encodeValid(text.substr(start), out);
    }

private:
    static void encodeValid(std::u16string_view run, std::string& out) {
        if (run.empty())
            return;
        const std::size_t base = out.size();
        out.resize(base + 2 * run.size()); // two bytes per unit at the most
        // No best fit: a character the code page lacks is '?', not a look-alike.
        const int made = WideCharToMultiByte(kCp936, WC_NO_BEST_FIT_CHARS,
                                             reinterpret_cast<const wchar_t*>(run.data()),
                                             static_cast<int>(run.size()), out.data() + base,
                                             static_cast<int>(2 * run.size()), "?", nullptr);
        if (made <= 0) {
            out.resize(base);
            out.append(run.size(), '?');
            return;
        }
        out.resize(base + static_cast<std::size_t>(made));
    }
};

} // namespace

std::unique_ptr<CharsetDecoder> OpenDecoder(Charset charset) {
    switch (charset) {
    case Charset::Cp936:
        return std::make_unique<Cp936Decoder>();
    case Charset::Utf8:
        return std::make_unique<Utf8Decoder>();
    case Charset::Utf16Le:
        return std::make_unique<Utf16Decoder>(false);
    case Charset::Utf16Be:
        return std::make_unique<Utf16Decoder>(true);
    }
    return std::make_unique<Utf8Decoder>();
}

std::unique_ptr<Cp936Encoding> OpenCp936Encoding() {
    return std::make_unique<WindowsCp936Encoding>();
}

} // namespace tarnwick::platform
