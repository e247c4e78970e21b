#include "platform/charset.h"

#include <unicode/ucnv.h>

#include <type_traits>

namespace tarnwick::platform {

static_assert(std::is_same_v<UChar, char16_t>, "ICU's UChar is the engine's char16_t");

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// With the user-defined and other private-use pairs, 0x80 as the euro sign and 0xFF as
// U+F8F5, as Windows has it.
constexpr const char* kCp936 = "windows-936-2000";

// Appends what one ICU conversion call makes of `in`, given `room` units of room. With room
// for every unit it cannot fail; if it does, `substitute` stands for each unit of `in`
// instead, and the converter is reset: never garbage.
template <class Out, class In, class Convert, class Reset>
void appendConverted(Out& out, In in, std::size_t room, typename Out::value_type substitute,
                     Convert convert, Reset reset) {
    const std::size_t base = out.size();
    out.resize(base + room);
    auto* target = out.data() + base;
    const auto* source = in.data();
    UErrorCode status = U_ZERO_ERROR;
    convert(&target, out.data() + out.size(), &source, in.data() + in.size(), &status);
    if (U_FAILURE(status)) {
        reset();
        out.resize(base);
        out.append(in.size(), substitute);
        return;
    }
    out.resize(static_cast<std::size_t>(target - out.data()));
}

class IcuDecoder final : public CharsetDecoder {
public:
    IcuDecoder() = default;
    ~IcuDecoder() override {
        if (m_converter)
            ucnv_close(m_converter);
    }
    IcuDecoder(const IcuDecoder&) = delete;
    IcuDecoder& operator=(const IcuDecoder&) = delete;

    void decode(std::string_view bytes, bool flush, std::u16string& out) override {
        // Opened at the first bytes: ASCII-only files never need it.
        if (!m_converter && !m_openFailed) {
            UErrorCode status = U_ZERO_ERROR;
            m_converter = ucnv_open(kCp936, &status);
            m_openFailed = U_FAILURE(status);
            if (m_openFailed)
                m_converter = nullptr;
        }
        if (!m_converter) {
            out.append(bytes.size(), kReplacement);
            return;
        }
        // What the bytes can make at most, and what was held from before.
        UConverter* converter = m_converter;
        appendConverted(
            out, bytes, bytes.size() + 4, kReplacement,
            [converter, flush](UChar** target, const UChar* limit, const char** source,
                               const char* end, UErrorCode* status) {
                ucnv_toUnicode(converter, target, limit, source, end, nullptr, flush, status);
            },
            [converter] { ucnv_resetToUnicode(converter); });
    }

    bool idle() const override {
        if (!m_converter)
            return true;
        UErrorCode status = U_ZERO_ERROR;
        return ucnv_toUCountPending(m_converter, &status) == 0 && U_SUCCESS(status);
    }

private:
    UConverter* m_converter = nullptr;
    bool m_openFailed = false;
};

class IcuCp936Encoding final : public Cp936Encoding {
public:
    ~IcuCp936Encoding() override {
        if (m_converter)
            ucnv_close(m_converter);
    }

    void encode(std::u16string_view text, std::string& out) override {
        if (!m_converter && !m_openFailed) {
            UErrorCode status = U_ZERO_ERROR;
            m_converter = ucnv_open(kCp936, &status);
            if (U_SUCCESS(status))
                ucnv_setSubstChars(m_converter, "?", 1, &status);
            m_openFailed = U_FAILURE(status);
            if (m_openFailed && m_converter) {
                ucnv_close(m_converter);
                m_converter = nullptr;
            }
        }
        if (!m_converter) { // no converter on this system: keep the promise of '?'
            out.append(text.size(), '?');
            return;
        }
        // Two bytes per code unit at the most.
        UConverter* converter = m_converter;
        appendConverted(
            out, text, 2 * text.size(), '?',
            [converter](char** target, const char* limit, const UChar** source, const UChar* end,
                        UErrorCode* status) {
                ucnv_fromUnicode(converter, target, limit, source, end, nullptr, true, status);
            },
            [converter] { ucnv_resetFromUnicode(converter); });
    }

private:
    UConverter* m_converter = nullptr;
    bool m_openFailed = false;
};

} // namespace

std::unique_ptr<CharsetDecoder> OpenCp936Decoder() {
    return std::make_unique<IcuDecoder>();
}

std::unique_ptr<Cp936Encoding> OpenCp936Encoding() {
    return std::make_unique<IcuCp936Encoding>();
}

} // namespace tarnwick::platform
