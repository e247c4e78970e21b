#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::platform {

/// The current date and time as text, each read separately.
class Clock {
public:
    virtual ~Clock() = default;
    /// The date in the user's short date format.
    virtual std::u16string Date() const = 0;
    /// The time in the user's time format, with seconds.
    virtual std::u16string Time() const = 0;
};

/// The time that SOURCE_DATE_EPOCH fixes (seconds since 1970, UTC), when it is set and valid.
std::optional<std::int64_t> SourceDateEpoch();

/// True when SOURCE_DATE_EPOCH is set but is not a whole number of seconds from 0 to the
/// end of year 9999: a build that sets it wrongly must hear of it, not get today's date.
bool SourceDateEpochMalformed();

/// Reads the system clock and formats it as the user set dates and times: on POSIX systems
/// LC_TIME's %x and %X, converted from the locale's character set (the C locale when the
/// user's is not installed); on Windows the regional settings' short date and long time.
/// When SOURCE_DATE_EPOCH is set, shows that time in UTC instead, so two runs over the
/// same input give the same bytes.
class LocaleClock final : public Clock {
public:
    std::u16string Date() const override;
    std::u16string Time() const override;
};

} // namespace tarnwick::platform
