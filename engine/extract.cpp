#include "extract.h"

#include <algorithm>

namespace tarnwick {

WordLayout ComputeLayout(RadixMode radix, std::int16_t widthIndex, std::size_t digitCount) {
    WordLayout layout;
    if (widthIndex < 0)
        return layout; // no width chosen: an empty layout rather than a division by zero
    const std::int32_t digitsPerWord = std::int32_t{widthIndex} + 1;
    layout.digitsPerWord = digitsPerWord;
    layout.dataWidth = radix == RadixMode::Hexadecimal ? digitsPerWord * 4 : digitsPerWord;

    const std::uint64_t d = static_cast<std::uint64_t>(digitsPerWord);
    const std::uint64_t length = std::min<std::uint64_t>(digitCount, kMaxDigitCount);
    const std::uint64_t q = length / d;
    const std::uint64_t r = length % d;
    std::uint64_t depth = q;
    if (2 * r > d || (2 * r == d && (q & 1) != 0))
        ++depth;
    layout.depth = static_cast<std::int32_t>(depth);
    return layout;
}

} // namespace tarnwick
