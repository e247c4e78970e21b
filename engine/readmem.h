#pragma once

// A $readmemh / $readmemb file, as simulators read it, to the digit string of its words:
//   bytes -> TextDecoder -> LineEndNormaliser -> ReadmemScanner: tokens between blanks and
//   line ends, `//` and `/* */` comments skipped, `_` inside numbers ignored
//   -> each word left-padded with zeros to the full width; `@ADDR` (hexadecimal) moves to
//      that word address, forward only, the gap filled with words of zeros
// so the driver cuts the same words back out of the digits.

#include "file_digits.h"

#include <cstdint>
#include <string>

namespace tarnwick {

/// Where and why a readmem file breaks its format's rules, beyond a character that is not a
/// digit (which is a stray, as in any input).
struct Malformation {
    enum class Kind {
        WordTooWide,     ///< more significant digits than the width holds
        AddressBackward, ///< an @ address behind the next word's address
        BadAddress,      ///< an @ with no hexadecimal number after it, or one too large
        Gap,             ///< an @ address that skips words, where gaps are refused
    };
    Kind kind = Kind::WordTooWide;
    TextPosition at;           ///< where the word or the @ stands
    std::string token;         ///< the word or address as written, shortened when long
    std::uint64_t address = 0; ///< AddressBackward, Gap: the next word's address before the @
};

/// A gap that an @ address leaves: words of zeros fill it.
struct ReadmemGap {
    TextPosition at;         ///< where the @ stands
    std::uint64_t from = 0;  ///< the first address filled
    std::uint64_t words = 0; ///< how many words of zeros
};

/// A $readmemh (hexadecimal radix) or $readmemb (binary) file as a DigitSource. The width is
/// `widthBits` when given (a word with more significant digits is malformed), otherwise the
/// widest word's. A gap an @ address leaves is filled with words of zeros, or with
/// `gapsRefused` is malformed.
class ReadmemSource final : public DigitSource {
public:
    ReadmemSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix, int widthBits,
                  bool gapsRefused = false);

    std::uint64_t size() const override { return 0; }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(WordWriter& writer, const GoOn& goOn) override;
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>& isIt, bool toEnd) override;
    const platform::IoError& error() const override { return m_reader.error(); }
    int widthBits() const override { return m_widthBits; }
    const Malformation* malformation() const override {
        return m_malformed ? &m_malformation : nullptr;
    }

    /// The gaps the first pass found, in order, and how many there were in all.
    const ReadmemGap* firstGap() const { return m_gaps == 0 ? nullptr : &m_firstGap; }
    std::uint64_t gapCount() const { return m_gaps; }
    std::uint64_t gapWords() const { return m_gapWords; }

private:
    class Scanner;

    ByteReader& m_reader;
    text::TextEncoding m_encoding;
    RadixMode m_radix;
    int m_widthBits;
    bool m_gapsRefused;
    bool m_malformed = false;
    Malformation m_malformation;
    ReadmemGap m_firstGap;
    std::uint64_t m_gaps = 0;
    std::uint64_t m_gapWords = 0;
};

} // namespace tarnwick
