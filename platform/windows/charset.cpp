#include "platform/charset.h"
#include "platform/framed_decoder.h"

#include <windows.h>

#include <cstdint>

namespace tarnwick::platform {

namespace {

constexpr char16_t kReplacement = FramedDecoder::kReplacement;
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

std::unique_ptr<CharsetDecoder> OpenCp936Decoder() {
    return std::make_unique<Cp936Decoder>();
}

std::unique_ptr<Cp936Encoding> OpenCp936Encoding() {
    return std::make_unique<WindowsCp936Encoding>();
}

} // namespace tarnwick::platform
