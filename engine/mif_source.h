#pragma once

// A memory initialisation file to the digit string of its words:
//   bytes -> TextDecoder -> MifSource::Parser: `--` and `% %` comments skipped, the header's
//   WIDTH, DEPTH and radixes, then CONTENT BEGIN ... END; entries in any order
//   -> the first pass lays every entry's words out in an image of DEPTH words, the addresses
//      no entry gives holding the fill; the second hands the image on
// so the driver cuts the same words back out of the digits.

#include "source.h"

#include "text/text_decoder.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// A MIF file as the vendor's tools read it (--from=mif): `WIDTH`, `DEPTH`, `ADDRESS_RADIX`
/// and `DATA_RADIX` (BIN, HEX, OCT, DEC signed, UNS), then `CONTENT BEGIN` and entries
/// `A : V;`, `A : V1 V2;` (consecutive addresses), `[A..B] : V;` and `[A..B] : V1 V2;` (the
/// values repeated over the range), in any order, up to `END;`. The width and depth are the
/// file's; a width given that differs is an error. Addresses no entry gives hold `fill`,
/// named in one warning; an address given twice with different values is a warning naming
/// both places (the later wins). An address past DEPTH, a value wider than WIDTH, a missing
/// `END;` and anything else out of place are errors at their place. The image is held in
/// memory, at most 256 MiB of digits.
class MifSource final : public DigitSource {
public:
    /// `widthBits` and `depth`, when given, must be the file's.
    MifSource(ByteReader& reader, text::TextEncoding encoding, RadixMode radix, int widthBits,
              std::uint64_t fill, std::optional<std::int64_t> depth = std::nullopt);
    ~MifSource() override;

    std::uint64_t size() const override { return 0; }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(DigitSink& writer, const GoOn& goOn) override;
    /// The digits are made from the entries: nothing to find.
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>&, bool) override {
        return std::nullopt;
    }
    const platform::IoError& error() const override { return m_reader.error(); }
    int widthBits() const override { return m_widthBits; }
    const std::vector<Diagnostic>& diagnostics() const override { return m_diagnostics; }

private:
    class Parser;
    struct Entry;

    template <class OnEntry, class OnPlain>
    bool parse(const GoOn& goOn, OnEntry&& onEntry, OnPlain&& onPlain);
    void warnOfGaps();

    ByteReader& m_reader;
    text::TextEncoding m_encoding;
    RadixMode m_radix;
    int m_widthBits;
    std::uint64_t m_fill;
    std::optional<std::int64_t> m_depthGiven;
    std::uint64_t m_depth = 0;
    std::size_t m_digitsPerWord = 0;
    std::unique_ptr<char[]> m_image;   ///< DEPTH words of digits, once count() has run
    std::vector<std::uint8_t> m_given; ///< per address: 0 none, 1 given
    std::vector<Diagnostic> m_diagnostics;
};

} // namespace tarnwick
