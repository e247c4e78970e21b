#include "clock.h"

#include "cp936.h"

#include <langinfo.h>
#include <locale.h>

#include <ctime>

namespace tarnwick::platform {

namespace {

std::u16string formatNow(const char* format) {
    locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr))
        loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);

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

std::u16string LocaleClock::Date() const {
    return formatNow("%x");
}

std::u16string LocaleClock::Time() const {
    return formatNow("%X");
}

} // namespace tarnwick::platform
