#pragma once

// Numbers as programs write them, one word each:
//   bytes -> TextDecoder -> ValuesSource::Scanner: `//`, `/* */` and `#` comments, strings,
//   identifiers skipped; numbers cut out with the braces and brackets around them
//   -> the first pass decides which numbers are the values (those inside braces where the
//      file has any, else inside brackets, else all) and the width; the second turns each
//      into one word of digits
// so the driver cuts the same words back out of the digits.

#include "source.h"

#include "text/text_decoder.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// A list of numbers as C, C++, Python and Verilog write them, each one word
/// (--from=values): `0x` hexadecimal, `0b` binary, `0o` octal and decimal numbers, with C's
/// `u`/`l` suffixes and `_` inside, Verilog literals (`8'hFF`, `'b1010`), a leading `-`
/// for two's complement at the width. Comments, lines from `#`, strings and identifiers
/// (`uint8_t`, `font16x8`) are skipped; where the file has braces only the numbers inside
/// them are values (a declaration such as `font[256] =` is no value), else those inside
/// brackets, else every number. The width is `widthBits` when given (a wider value is an
/// error at its place), otherwise the widest value's, in whole digits of the radix. Any
/// other character among the values is an error at its place.
class ValuesSource final : public DigitSource {
public:
    ValuesSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix, int widthBits);

    std::uint64_t size() const override { return 0; }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(DigitSink& writer, const GoOn& goOn) override;
    /// The digits are made from the values, never a stray or a short word: nothing to find.
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>&, bool) override {
        return std::nullopt;
    }
    const platform::IoError& error() const override { return m_reader.error(); }
    int widthBits() const override { return m_widthBits; }
    const std::vector<Diagnostic>& diagnostics() const override { return m_diagnostics; }

    /// Where numbers are values: the file's first pass decides.
    enum class Scope { Braces, Brackets, Everywhere };

private:
    class Scanner;
    struct Token;

    ByteReader& m_reader;
    text::TextEncoding m_encoding;
    RadixMode m_radix;
    int m_widthBits;
    Scope m_scope = Scope::Everywhere;
    bool m_digitsRule = false; ///< every value a word of hex digits as written, nothing else
    std::vector<Diagnostic> m_diagnostics;
};

} // namespace tarnwick
