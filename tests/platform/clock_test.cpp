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

TEST(LocaleClock, UninstalledLocaleFallsBackInsteadOfFailing) {
    ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
    const LocaleClock clock;
    EXPECT_FALSE(clock.Date().empty());
    EXPECT_FALSE(clock.Time().empty());
    ::unsetenv("LC_ALL");
}

} // namespace
} // namespace tarnwick::platform
