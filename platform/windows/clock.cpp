#include "platform/clock.h"

#include <windows.h>

namespace tarnwick::platform {

namespace {

// The moment to show: SOURCE_DATE_EPOCH's in UTC when set, otherwise local time now.
SYSTEMTIME moment() {
    SYSTEMTIME at{};
    if (const auto fixed = SourceDateEpoch()) {
        // FILETIME counts 100 ns from 1601; 1970 is 11644473600 s later.
        const unsigned long long ticks =
            (static_cast<unsigned long long>(*fixed) + 11644473600ULL) * 10000000ULL;
        FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        FileTimeToSystemTime(&time, &at);
    } else {
        GetLocalTime(&at);
    }
    return at;
}

std::u16string fromBuffer(const wchar_t* text, int length) {
    // The length counts the terminating NUL; 0 means the call failed.
    if (length <= 1)
        return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text),
                          static_cast<std::size_t>(length - 1));
}

} // namespace

std::u16string LocaleClock::Date() const {
    const SYSTEMTIME at = moment();
    wchar_t text[128];
    return fromBuffer(text, GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &at, nullptr,
                                            text, 128, nullptr));
}

std::u16string LocaleClock::Time() const {
    const SYSTEMTIME at = moment();
    wchar_t text[128];
    // No flags: the long time format, which shows the seconds.
    return fromBuffer(text, GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &at, nullptr, text, 128));
}

} // namespace tarnwick::platform
