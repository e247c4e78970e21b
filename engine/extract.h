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

/// The shape of one memory image, worked out once per conversion.
struct WordLayout {
    std::int32_t dataWidth = 0;     ///< bits per memory word
    std::int32_t digitsPerWord = 0; ///< input characters per word (width index + 1)
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
    std::uint64_t count = 0; ///< how many (a surrogate pair counts once)
    std::uint64_t nulCount = 0; ///< how many of them are U+0000
    char32_t first = 0;      ///< the first of them
    TextPosition at;         ///< where the first stands in the input
    std::size_t offset = 0;  ///< its index in the input text, in UTF-16 code units

    /// True when most of them are U+0000, as in UTF-16 read as a one-byte encoding.
    bool mostlyNul() const { return 2 * nulCount > count; }
};

/// The digits at the end of a digit string that the layout leaves out: fewer than a word, and
/// rounded away. A file without them would lose data the user typed, so such a text is
/// refused as a whole.
struct DroppedDigits {
    std::uint64_t count = 0;        ///< how many digits are left out
    std::int32_t digitsPerWord = 0; ///< the word they are too few for
    TextPosition at;                ///< where the first of them stands in the input
    std::size_t offset = 0;         ///< its index in the input text, in UTF-16 code units
    std::size_t length = 0;         ///< code units from it to the end of the last digit
};

/// How many of `digitCount` digits `layout` leaves out: those after depth whole words when
/// the rounded depth has no room for them (0 when every digit is in a word, a short last
/// word included).
inline std::uint64_t DroppedDigitCount(const WordLayout& layout, std::uint64_t digitCount) {
    const std::uint64_t kept = static_cast<std::uint64_t>(layout.depth) *
                               static_cast<std::uint64_t>(layout.digitsPerWord);
    return kept < digitCount ? digitCount - kept : 0;
}

/// Counts the stray characters of a digit string fed one character at a time, and keeps the
/// first. `Tag` is whatever the caller knows of where a character stood.
class StrayFinder {
public:
    explicit StrayFinder(RadixMode radix) : m_radix(radix) {}

    /// Checks one digit-string character; calls locate(m_strays) when it is the first stray.
    template <class Locate> void put(char16_t c, Locate&& locate) {
        const bool pairEnd = m_highPending && c >= 0xDC00 && c <= 0xDFFF;
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
        m_highPending = c >= 0xD800 && c <= 0xDBFF;
        m_strays.nulCount += c == 0;
        if (m_strays.count++ == 0) {
            m_strays.first = c;
            m_completeFirst = m_highPending;
            locate(m_strays);
        }
    }

    bool any() const { return m_strays.count > 0; }
    const StrayCharacters& strays() const { return m_strays; }

    /// Records where the first stands, once a rescan has found it.
    void locate(const TextPosition& at) { m_strays.at = at; }

private:
    RadixMode m_radix;
    StrayCharacters m_strays;
    bool m_highPending = false;
    bool m_completeFirst = false;
};

/// The largest digit count that a WordLayout can describe.
inline constexpr std::size_t kMaxDigitCount = 0x7FFFFFFF;

/// Works out the layout for `digitCount` (1 .. kMaxDigitCount) digits at `widthIndex`
/// (>= 0). Digits per word is widthIndex + 1; the data width is four times that in
/// hexadecimal mode. The depth is digitCount / digitsPerWord rounded to the nearest
/// integer, an exact half to the even neighbour, computed exactly in integers.
WordLayout ComputeLayout(RadixMode radix, std::int16_t widthIndex, std::size_t digitCount);

} // namespace tarnwick
