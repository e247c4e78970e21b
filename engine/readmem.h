#pragma once

// A $readmemh / $readmemb file, as simulators read it, to the digit string of its words:
//   bytes -> TextDecoder -> ReadmemSource::Scanner: tokens between blanks and line ends (LF,
//   CR and CR LF), `//` and `/* */` comments skipped, `_` inside numbers ignored
//   -> each word left-padded with zeros to the full width; `@ADDR` (hexadecimal) moves to
//      that word address before the next word, a gap filled with words of zeros; going back,
//      the words are laid out in an image in memory first
// so the driver cuts the same words back out of the digits.

#include "source.h"

#include "text/text_decoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

/// A $readmemh (hexadecimal radix) or $readmemb (binary) file as a DigitSource
/// (--from=readmem), read as the Verilog simulators read it. The width is `widthBits`
/// when given (a word with more significant digits is an error; leading zeros never count),
/// otherwise the widest value's. An @ address takes effect when a word follows it; a gap it
/// leaves is filled with words of zeros and warned of once. An @ going back is loaded as
/// the simulators load it, the later word winning, with a warning naming both places: the
/// image is then held in memory (at most 256 MiB of digits), while a file that only moves
/// forward streams in constant memory. An @ that is no hexadecimal number, a '/' that starts
/// no comment, and any character that is not a blank, a digit or '_' (a vertical tab
/// included) are errors at their place; x, z and ? digits too, unless `unknownAsZero` reads
/// each as 0 (warned of once). A byte-order mark is a warning.
class ReadmemSource final : public DigitSource {
public:
    /// `base`: the address of the memory's first word (an @ below it is an error); `fill`:
    /// what the gaps hold.
    ReadmemSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix, int widthBits,
                  bool unknownAsZero = false, std::uint64_t base = 0, std::uint64_t fill = 0);

    std::uint64_t size() const override { return 0; }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(DigitSink& writer, const GoOn& goOn) override;
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>& isIt, bool toEnd) override;
    const platform::IoError& error() const override { return m_reader.error(); }
    int widthBits() const override { return m_widthBits; }
    const std::vector<Diagnostic>& diagnostics() const override { return m_diagnostics; }

private:
    class Scanner;
    struct Walk;

    template <class OnWord> bool walkWords(const GoOn& goOn, OnWord&& onWord);
    bool warnOfImage(std::uint64_t depth, const GoOn& goOn);
    bool copyImage(DigitSink& writer, const GoOn& goOn, std::size_t digitsPerWord);
    void layWord(char* word, std::u16string_view text, std::size_t digitsPerWord) const;
    char digitOf(char16_t c) const;
    std::string fillWord(std::size_t digitsPerWord) const;
    std::string gapText() const;

    ByteReader& m_reader;
    text::TextEncoding m_encoding;
    RadixMode m_radix;
    int m_widthBits;
    bool m_unknownAsZero;
    std::uint64_t m_base;
    std::uint64_t m_fill;
    bool m_image = false;      ///< an address goes back: copy() lays out the image in memory
    std::uint64_t m_depth = 0; ///< the words the memory holds, once count() has run
    std::vector<Diagnostic> m_diagnostics;
};

} // namespace tarnwick
