#include "platform/clock.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#ifndef _WIN32
#include <dlfcn.h>
#include <iconv.h>
#include <locale.h>
#endif
#include <regex>
#include <string>
#include <utility>

namespace tarnwick::platform {
namespace {

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

#ifndef _WIN32
// Set, the next iconv_open fails, as where the C library lacks the locale's converter.
// Defined here, it stands for the C library's in this program.
bool g_iconvOpenFails = false;
} // namespace
} // namespace tarnwick::platform

extern "C" iconv_t iconv_open(const char* to, const char* from) {
    if (std::exchange(tarnwick::platform::g_iconvOpenFails, false)) {
        errno = EINVAL;
        return reinterpret_cast<iconv_t>(-1);
    }
    using Open = iconv_t (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "iconv_open"));
    return real(to, from);
}

namespace tarnwick::platform {
namespace {

TEST(LocaleClock, WithoutAConverterTheAsciiOfTheDateStays) {
    test::SetEnv("TZ", "UTC");
    test::SetEnv("LC_ALL", "C");
    test::SetEnv("SOURCE_DATE_EPOCH", "999993599"); // 2001-09-08 23:59:59 UTC
    g_iconvOpenFails = true;
    const std::u16string date = LocaleClock().Date();
    g_iconvOpenFails = false;
    test::SetEnv("SOURCE_DATE_EPOCH", nullptr);
    test::SetEnv("LC_ALL", nullptr);
    test::SetEnv("TZ", nullptr);
    EXPECT_EQ(Narrow(date), "09/08/01");
}

TEST(LocaleClock, CLocaleGivesShortDateAndTimeWithSeconds) {
    const char* saved = std::getenv("LC_ALL");
    const std::string keep = saved ? saved : "";
    test::SetEnv("LC_ALL", "C");
    const LocaleClock clock;
    const std::string date = Narrow(clock.Date());
    const std::string time = Narrow(clock.Time());
    if (saved)
        test::SetEnv("LC_ALL", keep.c_str());
    else
        test::SetEnv("LC_ALL", nullptr);
    EXPECT_TRUE(std::regex_match(date, std::regex(R"(\d\d/\d\d/\d\d)"))) << date;
    EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d\d:\d\d:\d\d)"))) << time;
}

TEST(LocaleClock, SourceDateEpochFixesTheTimeInUtc) {
    // A zone far from UTC, so local time would show another day.
    test::SetEnv("TZ", "Asia/Shanghai");
    test::SetEnv("LC_ALL", "C");
    test::SetEnv("SOURCE_DATE_EPOCH", "999993599"); // 2001-09-08 23:59:59 UTC
    const LocaleClock clock;
    EXPECT_EQ(Narrow(clock.Date()), "09/08/01");
    EXPECT_EQ(Narrow(clock.Time()), "23:59:59");
    test::SetEnv("SOURCE_DATE_EPOCH", "soon"); // not a number: the real clock
    EXPECT_NE(Narrow(clock.Date()), "09/08/01");
    test::SetEnv("SOURCE_DATE_EPOCH", nullptr);
    test::SetEnv("LC_ALL", nullptr);
    test::SetEnv("TZ", nullptr);
}

// The user's own locale, not C: a Chinese desktop's date line reads as its clock does.
// Debian's `locales` holds the source; the locale is compiled here when the system lacks it.
TEST(LocaleClock, FollowsTheUsersChineseDateAndTimeFormats) {
    const test::TempDir compiled;
    locale_t probe = newlocale(LC_TIME_MASK, "zh_CN.UTF-8", static_cast<locale_t>(nullptr));
    if (probe == static_cast<locale_t>(nullptr)) {
        const std::string command =
            "localedef -i zh_CN -f UTF-8 '" + (compiled / "zh_CN.UTF-8").string() + "' 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << "install Debian's locales package";
        test::SetEnv("LOCPATH", compiled.path().c_str());
    } else {
        freelocale(probe);
    }
    test::SetEnv("TZ", "UTC");
    test::SetEnv("LC_ALL", "zh_CN.UTF-8");
    test::SetEnv("SOURCE_DATE_EPOCH", "999993599"); // 2001-09-08 23:59:59 UTC
    const LocaleClock clock;
    const std::u16string date = clock.Date();
    const std::u16string time = clock.Time();
    test::SetEnv("SOURCE_DATE_EPOCH", nullptr);
    test::SetEnv("LC_ALL", nullptr);
    test::SetEnv("TZ", nullptr);
    test::SetEnv("LOCPATH", nullptr);
    EXPECT_EQ(date, u"2001年09月08日");
    EXPECT_EQ(time, u"23时59分59秒");
}

TEST(LocaleClock, UninstalledLocaleFallsBackInsteadOfFailing) {
    test::SetEnv("LC_ALL", "xx_NOWHERE.UTF-8");
    const LocaleClock clock;
    EXPECT_FALSE(clock.Date().empty());
    EXPECT_FALSE(clock.Time().empty());
    test::SetEnv("LC_ALL", nullptr);
}

#else
// Windows formats by the regional settings, whatever they are here; the fixed moment must
// still show in UTC, with its seconds.
TEST(LocaleClock, SourceDateEpochFixesTheTimeInUtc) {
    test::SetEnv("SOURCE_DATE_EPOCH", "999993599"); // 2001-09-08 23:59:59 UTC
    const LocaleClock clock;
    const std::string date = Narrow(clock.Date());
    const std::string time = Narrow(clock.Time());
    test::SetEnv("SOURCE_DATE_EPOCH", nullptr);
    EXPECT_NE(date.find("01"), std::string::npos) << date;
    EXPECT_NE(date.find('9'), std::string::npos) << date;
    EXPECT_NE(date.find('8'), std::string::npos) << date;
    EXPECT_NE(time.find("59:59"), std::string::npos) << time;
    EXPECT_TRUE(time.find("23") != std::string::npos || time.find("11") != std::string::npos)
        << time;
}
#endif

} // namespace
} // namespace tarnwick::platform
