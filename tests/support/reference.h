#pragma once

// The conversion written the slow, literal way, each step over the whole text, as the
// reference the streaming and block paths are held to in tests and fuzzing.

#include "engine/convert.h"
#include "engine/digits.h"
#include "platform/clock.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::reference {

/// The removal passes, each over the result of the one before: blank, TAB, ',', ';', '{',
/// '}', "0x" or "0X" (one left-to-right scan that does not re-examine what it joins), CR LF.
std::u16string StripDelimiters(std::u16string text);

/// Word k is the digits from k * digitsPerWord, digitsPerWord long, cut short at the end.
std::vector<std::u16string> SplitWords(std::u16string_view digits, std::int32_t digitsPerWord,
                                       std::int32_t depth);

/// The MIF file for `words`, line by line: banner, header, content lines, END.
std::string WriteMif(RadixMode radix, const WordLayout& layout,
                     const std::vector<std::u16string>& words, const platform::Clock& clock);

/// The same words as a coefficient file or a memory file: banner as comments, every word at
/// full width, padded in front with zeros; lines end with LF.
std::string WriteCoe(RadixMode radix, const WordLayout& layout,
                     const std::vector<std::u16string>& words, const platform::Clock& clock);
std::string WriteMem(const WordLayout& layout, const std::vector<std::u16string>& words,
                     const platform::Clock& clock);

/// The file of `format` for `words`, after words of zeros up to `paddedDepth` (when deeper).
std::string Write(OutputFormat format, RadixMode radix, const WordLayout& layout,
                  std::vector<std::u16string> words, std::int32_t paddedDepth,
                  const platform::Clock& clock);

/// Raw bytes as the digit string: two lower-case hexadecimal digits a byte, high first.
std::u16string HexDigitsOf(std::string_view bytes);

/// A $readmemh/$readmemb text as Icarus Verilog and Verilator load it, written literally:
/// blanks (space, TAB, CR, LF, FF) between words, `//` comments to LF, `/* */` comments,
/// `@ADDR` taking effect at the next word, the later word winning at an address given
/// twice, '_' ignored, x, z and ? read as 0 when asked.
struct ReadmemImage {
    enum class Outcome {
        Words,    ///< `words` holds the memory, every word of `widthBits`
        Empty,    ///< no word at all
        Stray,    ///< a character that is no digit comes first
        Refused,  ///< a lone '/', a bad address or a word too wide comes first
        TooLarge, ///< more than a mebibyte of digits: not laid out here
    };
    Outcome outcome = Outcome::Empty;
    int widthBits = 0;
    std::vector<std::u16string> words;
};
ReadmemImage ReadReadmem(std::u16string_view text, RadixMode radix, int widthBits,
                         bool unknownAsZero);

/// The whole chain over a text: strip, lay out at `widthIndex`, split, write.
std::string ConvertText(std::u16string text, RadixMode radix, std::int16_t widthIndex,
                        const platform::Clock& clock);

} // namespace tarnwick::reference
