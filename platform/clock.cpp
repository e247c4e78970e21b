#include "clock.h"

#include "cp936.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tarnwick::platform {

namespace {

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
        text = DecodeCharset(std::string_view(buffer, length), nl_langinfo_l(CODESET, loc));
        freelocale(loc);
    } else {
        length = std::strftime(buffer, sizeof buffer, format, &local);
        text = DecodeCharset(std::string_view(buffer, length), "ASCII");
    }
    return text;
}

} // namespace

namespace {

// The last second of year 9999, the last that a four-digit year can show.
constexpr std::int64_t kLastEpoch = 253402300799;

std::optional<std::int64_t> parseEpoch(const char* text) {
    std::int64_t value = 0;
    const char* end = text + std::strlen(text);
    const auto parsed = std::from_chars(text, end, value);
    if (parsed.ec != std::errc() || parsed.ptr != end || value < 0 || value > kLastEpoch)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::int64_t> SourceDateEpoch() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (!text || !*text)
        return std::nullopt;
    return parseEpoch(text);
}

bool SourceDateEpochMalformed() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    return text && *text && !parseEpoch(text);
}

std::u16string LocaleClock::Date() const {
    return formatNow("%x");
}

std::u16string LocaleClock::Time() const {
    return formatNow("%X");
}

} // namespace tarnwick::platform
