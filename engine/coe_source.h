#pragma once

// A coefficient file to the digit string of its words:
//   bytes -> TextDecoder -> CoeSource::Parser: `;` comment lines skipped, keywords and their
//   values, the vector's values between commas and blanks
//   -> each value one word of digits, of -w or the widest value's width
// so the driver cuts the same words back out of the digits.

#include "source.h"

#include "text/text_decoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

/// A COE file as memory generators read it (--from=coe): `memory_initialization_radix=R;`
/// (2, 10 or 16) before `memory_initialization_vector=` and its values, separated by
/// commas or blanks and ended by `;`. Keywords in any case; a line whose first character is
/// `;` is a comment. The width is `widthBits` when given (a wider value is an error at its
/// place), otherwise the widest value's as written. A keyword it does not know, a digit not
/// of the radix, a vector before its radix or without its `;` are errors at their place.
class CoeSource final : public DigitSource {
public:
    CoeSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix, int widthBits);

    std::uint64_t size() const override { return 0; }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(DigitSink& writer, const GoOn& goOn) override;
    /// The digits are made from the values: nothing to find.
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>&, bool) override {
        return std::nullopt;
    }
    const platform::IoError& error() const override { return m_reader.error(); }
    int widthBits() const override { return m_widthBits; }
    const std::vector<Diagnostic>& diagnostics() const override { return m_diagnostics; }

private:
    class Parser;

    ByteReader& m_reader;
    text::TextEncoding m_encoding;
    RadixMode m_radix;
    int m_widthBits;
    std::vector<Diagnostic> m_diagnostics;
};

} // namespace tarnwick
