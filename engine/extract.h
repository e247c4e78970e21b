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
    char32_t first = 0;      ///< the first of them
    TextPosition at;         ///< where the first stands in the input
    std::size_t offset = 0;  ///< its index in the input text, in UTF-16 code units
};

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
