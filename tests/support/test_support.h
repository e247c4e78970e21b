#pragma once

#include "engine/digits.h"
#include "platform/byte_sink.h"
#include "platform/clock.h"
#include "text/cp936.h"
#include "text/text_decoder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace tarnwick::test {

/// Collects written bytes in memory.
class StringSink final : public platform::ByteSink {
public:
    void write(std::string_view bytes) override { m_bytes.append(bytes); }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

/// A decoding case: bytes, the encoding they are read in, and the text they must give.
struct DecodeCase {
    const char* name;
    std::string bytes;
    text::TextEncoding encoding;
    std::u16string text;
};

inline void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

/// Decodes code page 936 bytes, given whole, to UTF-16.
inline std::u16string DecodeCp936(std::string_view bytes) {
    std::u16string out;
    text::Cp936Decoder decoder;
    decoder.decode(bytes, out, true);
    return out;
}

/// The width in bits of the `index`-th entry of the window's width list.
inline int WidthBits(RadixMode radix, int index) {
    return index < 0 ? 0 : (index + 1) * BitsPerDigit(radix);
}

/// A clock that always answers the same date and time.
class FixedClock final : public platform::Clock {
public:
    FixedClock(std::u16string date = u"2011-8-10", std::u16string time = u"14:23:05")
        : m_date(std::move(date)), m_time(std::move(time)) {}
    std::u16string Date() const override { return m_date; }
    std::u16string Time() const override { return m_time; }

private:
    std::u16string m_date;
    std::u16string m_time;
};

inline long ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<long>(::getpid());
#endif
}

/// Sets (or with nullptr removes) an environment variable of this process.
inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
#endif
}

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::random_device seed;
        m_path = std::filesystem::temp_directory_path() /
                 ("tarnwick-test-" + std::to_string(ProcessId()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    /// Names in the folder, for checking that nothing was left behind.
    std::size_t entryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_path),
                                                      std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path m_path;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

/// The folder holding the golden files, set by the build.
inline std::filesystem::path GoldenDir() {
    return TARNWICK_GOLDEN_DIR;
}

inline std::u16string Ascii(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

} // namespace tarnwick::test
