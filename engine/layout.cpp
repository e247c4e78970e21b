#include "digits.h"

#include <algorithm>

namespace tarnwick {

WordLayout ComputeLayout(RadixMode radix, int widthBits, std::size_t digitCount) {
    WordLayout layout;
    if (!WidthAllowed(radix, widthBits))
        return layout; // no width chosen: an empty layout rather than a division by zero
    const std::int32_t digitsPerWord = DigitsPerWord(radix, widthBits);
    layout.digitsPerWord = digitsPerWord;
    layout.dataWidth = widthBits;

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
