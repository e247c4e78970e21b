#pragma once

// A $readmemh / $readmemb file, as simulators read it, to the digit string of its words:
//   bytes -> TextDecoder -> ReadmemSource::Scanner: tokens between blanks and line ends (LF,
//   CR and CR LF), `//` and `/* */` comments skipped, `_` inside numbers ignored
//   -> each word left-padded with zeros to the full width; `@ADDR` (hexadecimal) moves to
//      that word address, forward only, the gap filled with words of zeros
// so the driver cuts the same words back out of the digits.

#include "source.h"

#include "text/text_decoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

/// A $readmemh (hexadecimal radix) or $readmemb (binary) file as a DigitSource
/// (--from=readmem). The width is `widthBits` when given (a word with more significant digits
/// is an error), otherwise the widest word's. A gap an @ address leaves is filled with words
/// of zeros and warned of once, or with `gapsRefused` is an error. An @ address going back,
/// or one that is no hexadecimal number, is an error.
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
    const std::vector<Diagnostic>& diagnostics() const override { return m_diagnostics; }

private:
    class Scanner;

    ByteReader& m_reader;
    text::TextEncoding m_encoding;
    RadixMode m_radix;
    int m_widthBits;
    bool m_gapsRefused;
    std::vector<Diagnostic> m_diagnostics;
};

} // namespace tarnwick
