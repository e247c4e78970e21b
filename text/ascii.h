#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarnwick::text {

/// How many bytes from `p` on, up to `n`, are ASCII and at least `floor`: tested eight at a
/// time while every byte passes, then one at a time. Most text files are long runs of such
/// bytes, so this one scan sets the pace of loading and decoding them. `floor` below 0x80.
inline std::size_t AsciiRun(const char* p, std::size_t n, unsigned char floor = 0) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        // High bit of a byte set where it is below `floor` (exact per byte: no borrow
        // crosses bytes while the high bits are forced on), or where it is not ASCII.
        const std::uint64_t below = ~((word | kHigh) - floor * kOnes) & kHigh;
        if (((below | word) & kHigh) != 0)
            break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80 &&
           static_cast<unsigned char>(p[i]) >= floor)
        ++i;
    return i;
}

/// Widens `n` ASCII bytes to UTF-16 at `out`: a loop the compiler vectorises.
inline void WidenAscii(const char* p, std::size_t n, char16_t* out) {
    const auto* in = reinterpret_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = in[i];
}

} // namespace tarnwick::text
