#include "cp936.h"

#include "ascii.h"

#include <unicode/ucnv.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tarnwick::platform {

static_assert(std::is_same_v<UChar, char16_t>, "ICU's UChar is the engine's char16_t");

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// The converter for code page 936 as Windows has it, with '?' for what it cannot encode.
UConverter* openConverter() {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("windows-936-2000", &status);
    if (U_FAILURE(status))
        return nullptr;
    ucnv_setSubstChars(converter, "?", 1, &status);
    return converter;
}

// A byte below 0x40 is neither a lead nor a trail byte in GBK, so it always starts a
// character of its own: a safe place to end a run handed to ICU.
bool isCharBoundary(unsigned char b) {
    return b < 0x40;
}

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

} // namespace

Cp936Encoder::~Cp936Encoder() {
    if (m_converter)
        ucnv_close(m_converter);
}

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
    if (!m_converter)
        m_converter = openConverter();
    if (!m_converter) { // no converter on this system: keep the promise of '?'
        out.append(run.size(), '?');
        return;
    }
    // Two bytes per code unit at the most.
    appendConverted(
        out, run, 2 * run.size(), '?',
        [this](char** target, const char* limit, const UChar** source, const UChar* end,
               UErrorCode* status) {
            ucnv_fromUnicode(m_converter, target, limit, source, end, nullptr, true, status);
        },
        [this] { ucnv_resetFromUnicode(m_converter); });
}

Cp936Decoder::~Cp936Decoder() {
    if (m_converter)
        ucnv_close(m_converter);
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
        // is in the next piece: ICU keeps it until then.
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
        m_converter = openConverter();
    AppendDecoded(m_converter, bytes, flush, out);
}

void AppendDecoded(UConverter* converter, std::string_view bytes, bool flush, std::u16string& out,
                   std::size_t bytesPerUnit) {
    if (!converter) {
        out.append(bytes.size(), kReplacement);
        return;
    }
    // What the bytes can make at most, and what was held from before.
    appendConverted(
        out, bytes, bytes.size() / bytesPerUnit + 4, kReplacement,
        [converter, flush](UChar** target, const UChar* limit, const char** source, const char* end,
                           UErrorCode* status) {
            ucnv_toUnicode(converter, target, limit, source, end, nullptr, flush, status);
        },
        [converter] { ucnv_resetToUnicode(converter); });
}

std::string EncodeCp936(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    Cp936Encoder encoder;
    encoder.append(text, out);
    return out;
}

} // namespace tarnwick::platform
