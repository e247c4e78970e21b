#include "clock.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace tarnwick::platform {

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

} // namespace tarnwick::platform
