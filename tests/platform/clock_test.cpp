#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

namespace tarnwick::platform {
namespace {

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

TEST(LocaleClock, CLocaleGivesShortDateAndTimeWithSeconds) {
    const char* saved = std::getenv("LC_ALL");
    const std::string keep = saved ? saved : "";
    ::setenv("LC_ALL", "C", 1);
    const LocaleClock clock;
    const std::string date = Narrow(clock.Date());
    const std::string time = Narrow(clock.Time());
    if (saved)
        ::setenv("LC_ALL", keep.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
    EXPECT_TRUE(std::regex_match(date, std::regex(R"(\d\d/\d\d/\d\d)"))) << date;
    EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d\d:\d\d:\d\d)"))) << time;
}

TEST(LocaleClock, SourceDateEpochFixesTheTimeInUtc) {
    // A zone far from UTC, so local time would show another day.
    ::setenv("TZ", "Asia/Shanghai", 1);
    ::setenv("LC_ALL", "C", 1);
    ::setenv("SOURCE_DATE_EPOCH", "999993599", 1); // 2001-09-08 23:59:59 UTC
    const LocaleClock clock;
    EXPECT_EQ(Narrow(clock.Date()), "09/08/01");
    EXPECT_EQ(Narrow(clock.Time()), "23:59:59");
    ::setenv("SOURCE_DATE_EPOCH", "soon", 1); // not a number: the real clock
    EXPECT_NE(Narrow(clock.Date()), "09/08/01");
    ::unsetenv("SOURCE_DATE_EPOCH");
    ::unsetenv("LC_ALL");
    ::unsetenv("TZ");
}

TEST(LocaleClock, UninstalledLocaleFallsBackInsteadOfFailing) {
    ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
    const LocaleClock clock;
    EXPECT_FALSE(clock.Date().empty());
    EXPECT_FALSE(clock.Time().empty());
    ::unsetenv("LC_ALL");
}

} // namespace
} // namespace tarnwick::platform
