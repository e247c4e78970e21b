#include "extract.h"

#include <algorithm>
#include <array>

namespace tarnwick {

namespace {

// How the fused pass treats an ASCII character. Passes 1 to 5 remove single characters, so
// they commute: one class serves them all. 'x' and LF matter only after a held character.
enum CharClass : unsigned char { Plain, Drop, Zero, Cr };

constexpr std::array<CharClass, 128> makeClassTable() {
    std::array<CharClass, 128> table{};
    for (char c : {' ', ',', ';', '{', '}'})
        table[static_cast<unsigned char>(c)] = Drop;
    table['0'] = Zero;
    table['\r'] = Cr;
    return table;
}
constexpr auto kClass = makeClassTable();

} // namespace

std::u16string StripDelimiters(std::u16string text) {
    // One streaming pass stands for all seven. Characters surviving passes 1-5 feed a
    // matcher for "0x" that holds back one '0'; what survives it feeds a matcher for CR LF
    // that holds back one CR. A held character is emitted once the next one shows it is not
    // part of a match, which is exactly the left-to-right, no-rescan rule of each pass. The
    // output never overtakes the input, so the text is rewritten in place.
    char16_t* const data = text.data();
    const std::size_t n = text.size();
    std::size_t out = 0;
    bool heldZero = false;
    bool heldCr = false;

    auto emitAfterZeroPass = [&](char16_t c) {
        if (heldCr) {
            heldCr = false;
            if (c == u'\n')
                return;
            data[out++] = u'\r';
        }
        if (c == u'\r')
            heldCr = true;
        else
            data[out++] = c;
    };

    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = data[i];
        const CharClass cls = c < 128 ? kClass[c] : Plain;
        if (cls == Drop)
            continue;
        if (!heldZero && !heldCr) { // the common case: nothing held back
            if (cls == Plain)
                data[out++] = c;
            else if (cls == Zero)
                heldZero = true;
            else
                heldCr = true;
            continue;
        }
        if (heldZero) {
            heldZero = false;
            if (c == u'x')
                continue;
            emitAfterZeroPass(u'0');
        }
        if (c == u'0')
            heldZero = true;
        else
            emitAfterZeroPass(c);
    }
    if (heldZero)
        emitAfterZeroPass(u'0');
    if (heldCr)
        data[out++] = u'\r';
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
