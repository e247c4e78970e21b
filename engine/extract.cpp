#include "extract.h"

#include "stream.h"

#include <algorithm>

namespace tarnwick {

std::u16string StripDelimiters(std::u16string text) {
    // The output never overtakes the input, so the text is rewritten in place.
    char16_t* const data = text.data();
    std::size_t out = 0;
    DelimiterStripper stripper;
    auto emit = [&](char16_t c) { data[out++] = c; };
    stripper.feed(text, emit);
    stripper.finish(emit);
    text.resize(out);
    return text;
}

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

WordList::WordList(std::u16string_view digits, std::int32_t digitsPerWord, std::int32_t depth)
    : m_digits(digits), m_digitsPerWord(static_cast<std::size_t>(std::max(digitsPerWord, 1))) {
    const std::size_t startable = (digits.size() + m_digitsPerWord - 1) / m_digitsPerWord;
    m_depth = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(depth, 0, static_cast<std::int64_t>(startable)));
}

WordList SplitWords(std::u16string_view digits, std::int32_t digitsPerWord, std::int32_t depth) {
    return WordList(digits, digitsPerWord, depth);
}

} // namespace tarnwick
