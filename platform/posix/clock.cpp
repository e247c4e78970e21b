#include "platform/clock.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace tarnwick::platform {

namespace {

static_assert(std::endian::native == std::endian::little,
              "the iconv calls below name UTF-16LE for char16_t buffers");

constexpr char16_t kReplacement = u'\uFFFD';
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Decodes bytes[begin, end) with `cd`, appending at out[pos]; returns the new pos.
// `out` has room for one code unit per input byte.
std::size_t decodeRun(iconv_t cd, std::string_view bytes, std::size_t begin, std::size_t end,
                      std::u16string& out, std::size_t pos) {
    std::size_t p = begin;
    while (p < end) {
        char* in = const_cast<char*>(bytes.data() + p);
        std::size_t inLeft = end - p;
        char* outPtr = reinterpret_cast<char*>(out.data() + pos);
        std::size_t outLeft = (out.size() - pos) * sizeof(char16_t);
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        pos = static_cast<std::size_t>(reinterpret_cast<char16_t*>(outPtr) - out.data());
        p = static_cast<std::size_t>(in - bytes.data());
        if (rc != static_cast<std::size_t>(-1))
            break;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (err == EINVAL) { // truncated sequence at the end of the run
            out[pos++] = kReplacement;
            p = end;
        } else { // an invalid byte; E2BIG cannot happen with one unit per byte
            out[pos++] = kReplacement;
            ++p;
        }
    }
    return pos;
}

// Decodes text in the named iconv character set (the locale's, for a formatted date) to
// UTF-16, with U+FFFD for what does not decode.
std::u16string decodeCharset(std::string_view bytes, const char* charset) {
    std::u16string out(bytes.size(), u'\0');
    iconv_t cd = iconv_open("UTF-16LE", charset);
    if (cd == kNoConverter) {
        std::size_t pos = 0;
        for (char c : bytes)
            out[pos++] =
                static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : kReplacement;
        return out;
    }
    out.resize(decodeRun(cd, bytes, 0, bytes.size(), out, 0));
    iconv_close(cd);
    return out;
}

std::u16string formatNow(const char* format) {
    locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr))
        loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));

    // Reproducible builds fix the time through SOURCE_DATE_EPOCH, meant as UTC.
    std::tm local{};
    if (const auto fixed = SourceDateEpoch()) {
        const std::time_t at = static_cast<std::time_t>(*fixed);
        gmtime_r(&at, &local);
    } else {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &local);
    }

    char buffer[256];
    std::size_t length = 0;
    std::u16string text;
    if (loc != static_cast<locale_t>(nullptr)) {
        length = strftime_l(buffer, sizeof buffer, format, &local, loc);
        text = decodeCharset(std::string_view(buffer, length), nl_langinfo_l(CODESET, loc));
        freelocale(loc);
    } else {
        length = std::strftime(buffer, sizeof buffer, format, &local);
        text = decodeCharset(std::string_view(buffer, length), "ASCII");
    }
    return text;
}

} // namespace

std::u16string LocaleClock::Date() const {
    return formatNow("%x");
}

std::u16string LocaleClock::Time() const {
    return formatNow("%X");
}

} // namespace tarnwick::platform
