#pragma once

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

/// Removes the delimiters that C arrays and font-extraction tools put around digits, by
/// seven passes in this order, each over the result of the one before: blank, ',', ';',
/// '{', '}', "0x" (lower-case x only), CR LF. Each pass removes non-overlapping occurrences
/// left to right and does not re-examine what a removal joins; later passes do. So
/// "0 x12" leaves "12", "0" CR LF "x1" leaves "0x1", and "00xx" leaves "0x". Every other
/// character (tab, lone CR or LF, 'X', any letter, any non-ASCII text) stays as data.
///
/// Takes the text by value and works in place in one pass: move a text in to avoid a copy.
std::u16string StripDelimiters(std::u16string text);

/// The largest digit count that a WordLayout can describe.
inline constexpr std::size_t kMaxDigitCount = 0x7FFFFFFF;

/// Works out the layout for `digitCount` (1 .. kMaxDigitCount) digits at `widthIndex`
/// (>= 0). Digits per word is widthIndex + 1; the data width is four times that in
/// hexadecimal mode. The depth is digitCount / digitsPerWord rounded to the nearest
/// integer, an exact half to the even neighbour, computed exactly in integers.
WordLayout ComputeLayout(RadixMode radix, std::int16_t widthIndex, std::size_t digitCount);

/// The word list: word k is the digits from k * digitsPerWord, digitsPerWord long, cut
/// short at the end of the digit string. Words are views into the digit string, which must
/// outlive the list.
class WordList {
public:
    WordList() = default;
    /// `depth` is clamped so that every word starts inside `digits`.
    WordList(std::u16string_view digits, std::int32_t digitsPerWord, std::int32_t depth);

    std::int32_t size() const { return m_depth; }
    bool empty() const { return m_depth == 0; }
    std::u16string_view operator[](std::int32_t k) const {
        const std::size_t start = static_cast<std::size_t>(k) * m_digitsPerWord;
        return m_digits.substr(start, m_digitsPerWord);
    }

private:
    std::u16string_view m_digits;
    std::size_t m_digitsPerWord = 1;
    std::int32_t m_depth = 0;
};

/// Cuts `digits` into `depth` words of `digitsPerWord` characters (the last may be short).
WordList SplitWords(std::u16string_view digits, std::int32_t digitsPerWord, std::int32_t depth);

} // namespace tarnwick
