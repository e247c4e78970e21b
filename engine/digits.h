#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

/// How many bits one input digit carries.
enum class RadixMode {
    Hexadecimal, ///< one digit is 4 bits
    Binary,      ///< one digit is 1 bit
};

/// The widest word, in bits, in either radix.
inline constexpr int kMaxWidthBits = 256;

/// The bits one digit of `radix` carries.
constexpr int BitsPerDigit(RadixMode radix) {
    return radix == RadixMode::Hexadecimal ? 4 : 1;
}

/// The most digits of `radix` a word holds: 64 hexadecimal, 256 binary.
constexpr int MaxDigitsPerWord(RadixMode radix) {
    return kMaxWidthBits / BitsPerDigit(radix);
}

/// The most digits a word holds in any radix, for buffers that take any word.
inline constexpr int kMaxDigitsPerWord = MaxDigitsPerWord(RadixMode::Binary);

/// Whether words of `bits` can be made from digits of `radix`: 1 to 256 bits. A hexadecimal
/// word of a width that is not a multiple of 4 has as many digits as it needs, and its first
/// digit may not use the bits above the width.
constexpr bool WidthAllowed(RadixMode /*radix*/, std::int64_t bits) {
    return bits >= 1 && bits <= kMaxWidthBits;
}

/// Whether `bits` is a whole number of digits of `radix`, as words regrouped from narrower or
/// wider input words must be.
constexpr bool WholeDigits(RadixMode radix, std::int64_t bits) {
    return WidthAllowed(radix, bits) && bits % BitsPerDigit(radix) == 0;
}

/// The digits of `radix` that a word of `bits` takes.
constexpr int DigitsPerWord(RadixMode radix, int bits) {
    const int step = BitsPerDigit(radix);
    return (bits + step - 1) / step;
}

/// The largest value of a word's first digit at width `bits`: 15 in hexadecimal unless the
/// width leaves the first digit fewer than 4 bits.
constexpr unsigned TopDigitMost(RadixMode radix, int bits) {
    const int step = BitsPerDigit(radix);
    const int top = bits % step == 0 ? step : bits % step;
    return (1u << top) - 1;
}

/// The value of a digit character of either radix (IsRadixDigit in hexadecimal).
constexpr unsigned DigitValue(char16_t c) {
    return c <= u'9' ? unsigned(c - u'0') : unsigned((c | 0x20) - u'a' + 10);
}

/// True for the halves of a character beyond U+FFFF in UTF-16.
constexpr bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

/// The shape of one memory image, worked out once per conversion.
struct WordLayout {
    std::int32_t dataWidth = 0;     ///< bits per memory word
    std::int32_t digitsPerWord = 0; ///< input characters per word
    std::int32_t depth = 0;         ///< number of words
};

/// True when `c` is a digit of `radix`: 0-9, a-f, A-F in hexadecimal, 0 and 1 in binary.
inline bool IsRadixDigit(char16_t c, RadixMode radix) {
    if (radix == RadixMode::Binary)
        return c == u'0' || c == u'1';
    return (c >= u'0' && c <= u'9') || ((c | 0x20) >= u'a' && (c | 0x20) <= u'f');
}

/// Where a character stands in a text: 1-based line, 1-based column counted in characters
/// (a surrogate pair is one).
struct TextPosition {
    std::uint64_t line = 1;
    std::uint64_t column = 0;
};

/// The characters left after delimiter removal that are not digits of the radix. A MIF
/// file whose words hold them is not valid, so such a text is refused as a whole.
struct StrayCharacters {
    std::uint64_t count = 0;    ///< how many (a surrogate pair counts once)
    std::uint64_t nulCount = 0; ///< how many of them are U+0000
    char32_t first = 0;         ///< the first of them
    TextPosition at;            ///< where the first stands in the input
    std::size_t offset = 0;     ///< its index in the input text, in UTF-16 code units

    /// True when most of them are U+0000, as in UTF-16 read as a one-byte encoding.
    bool mostlyNul() const { return 2 * nulCount > count; }
};

/// The digits at the end of a digit string that the layout leaves out: fewer than a word, and
/// rounded away. A file without them would lose data the user typed, so such a text is
/// refused as a whole.
struct DroppedDigits {
    std::uint64_t count = 0;        ///< how many digits are left out
    std::int32_t digitsPerWord = 0; ///< the word they are too few for
    bool placed = false;            ///< the input has places (raw bytes have none)
    TextPosition at;                ///< where the first of them stands in the input
    std::size_t offset = 0;         ///< its index in the input text, in UTF-16 code units
    std::size_t length = 0;         ///< code units from it to the end of the last digit
};

/// How many of `digitCount` digits `layout` leaves out: those after depth whole words when
/// the rounded depth has no room for them (0 when every digit is in a word, a short last
/// word included).
inline std::uint64_t DroppedDigitCount(const WordLayout& layout, std::uint64_t digitCount) {
    const std::uint64_t kept =
        static_cast<std::uint64_t>(layout.depth) * static_cast<std::uint64_t>(layout.digitsPerWord);
    return kept < digitCount ? digitCount - kept : 0;
}

/// Counts the stray characters of a digit string fed one character at a time, and keeps the
/// first; where it stood is found later, by a rescan (DigitSource::find).
class StrayFinder {
public:
    explicit StrayFinder(RadixMode radix) : m_radix(radix) {}

    /// Checks one digit-string character.
    void put(char16_t c) {
        const bool pairEnd = m_highPending && IsLowSurrogate(c);
        m_highPending = false;
        if (pairEnd) { // the second half of a character counted already
            if (m_completeFirst) {
                m_strays.first = 0x10000 + ((m_strays.first - 0xD800) << 10) + (c - 0xDC00);
                m_completeFirst = false;
            }
            return;
        }
        if (IsRadixDigit(c, m_radix))
            return;
        m_highPending = IsHighSurrogate(c);
        m_strays.nulCount += c == 0;
        if (m_strays.count++ == 0) {
            m_strays.first = c;
            m_completeFirst = m_highPending;
        }
    }

    bool any() const { return m_strays.count > 0; }
    RadixMode radix() const { return m_radix; }
    const StrayCharacters& strays() const { return m_strays; }

private:
    RadixMode m_radix;
    StrayCharacters m_strays;
    bool m_highPending = false;
    bool m_completeFirst = false;
};

/// The largest digit count that a WordLayout can describe.
inline constexpr std::size_t kMaxDigitCount = 0x7FFFFFFF;

/// Works out the layout for `digitCount` (1 .. kMaxDigitCount) digits in words of
/// `widthBits` (WidthAllowed), each DigitsPerWord digits. The depth is digitCount / digitsPerWord
/// rounded to the nearest integer, an exact half to the even neighbour, computed exactly in
/// integers. A width that is not allowed gives an empty layout.
WordLayout ComputeLayout(RadixMode radix, int widthBits, std::size_t digitCount);

} // namespace tarnwick
