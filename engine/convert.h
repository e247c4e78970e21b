#pragma once

#include "digits.h"

#include "platform/byte_sink.h"
#include "platform/clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace tarnwick {

class WordWriter;
struct Malformation;

/// How one conversion ended.
enum class ConvertOutcome {
    EmptyInput,        ///< nothing left after delimiter removal; no file touched
    NoWidthSelected,   ///< the width is not one the radix allows; no file touched
    NotADigit,         ///< a character left is not a digit of the radix; no file touched
    InputTooLarge,     ///< more digits than a layout can count; no file touched
    DigitsDropped,     ///< the last digits are too few for a word; no file touched
    Malformed,         ///< the input breaks its format's rules (malformation); no file touched
    ShortWordRefused,  ///< a short last word, which the options refuse; nothing kept
    DeeperThanPadding, ///< more words than the padded depth; nothing kept
    ReadFailed,        ///< the input could not be read (error says why); nothing kept
    Cancelled,         ///< the progress callback asked to stop; the earlier file is unchanged
    WriteFailed,       ///< the output could not be written; the earlier file is unchanged
    Written,           ///< the output was written and committed
};

/// The memory file formats a conversion writes: each is a WordWriter.
enum class OutputFormat {
    Mif, ///< a memory initialisation file (MifWriter)
    Coe, ///< a coefficient file (CoeWriter)
    Mem, ///< a $readmemh / $readmemb file (MemWriter)
};

/// What to make of the digits.
struct ConvertOptions {
    OutputFormat format = OutputFormat::Mif;
    RadixMode radix = RadixMode::Hexadecimal;
    /// Bits per word; 0 takes the width the input sets (DigitSource::widthBits), and one
    /// that WidthAllowed refuses is NoWidthSelected.
    int widthBits = 0;
    /// Words of zeros fill the addresses after the data up to this depth; more words than
    /// this are refused (DeeperThanPadding).
    std::optional<std::int32_t> paddedDepth;
    bool shortWordRefused = false; ///< refuse a short last word rather than write it short
    /// Count every stray character to the end of the input; otherwise stop at the first (an
    /// input that may never end, such as a pipe or a device).
    bool countAllStrays = true;
    /// Write while the first pass reads, where the header is known before the data (a
    /// padded depth, or a format whose header states no depth). Only for a target that keeps
    /// nothing until commit, since a refusal found later leaves it uncommitted.
    bool onePass = false;
};

struct ConvertResult {
    ConvertOutcome outcome = ConvertOutcome::EmptyInput;
    std::uint64_t digitCount = 0; ///< the digits counted (up to where the count stopped)
    WordLayout layout;            ///< the digits' layout, once they proved convertible
    bool countStopped = false;    ///< DeeperThanPadding found before the count was complete
    std::int32_t depth = 0;       ///< the DEPTH written (Written)
    platform::IoError error;      ///< set for ReadFailed and WriteFailed
    StrayCharacters strays;       ///< set for NotADigit: placed where the first stands in the input
    DroppedDigits dropped;        ///< set for DigitsDropped, placed as `strays`
    const Malformation* malformation = nullptr; ///< set for Malformed; the source holds it
};

/// Told how far a conversion has come: `done` of `total` units of work. Returning false
/// stops it (Cancelled) before the output replaces the earlier one.
using ConvertProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

/// Where a character of the digit string stood in the input.
struct SourcePlace {
    TextPosition at;
    std::size_t offset = 0; ///< its index in the text, where the source has one
    std::size_t length = 0; ///< code units from it to the end of the last digit, if asked
};

/// The first pass's findings: how many digits, and the characters among them that are not
/// digits of the radix.
class Tally {
public:
    Tally(RadixMode radix, bool countAllStrays) : m_finder(radix), m_countAll(countAllStrays) {}

    /// Takes one digit-string character the per-character path freed.
    void put(char16_t c) {
        ++m_digits;
        m_finder.put(c);
    }
    /// Takes a number of digits of the radix that the block path counted.
    void add(std::uint64_t count) { m_digits += count; }
    /// Once true, the rest of the input cannot change the outcome.
    bool decided() const { return (m_finder.any() && !m_countAll) || m_digits > kMaxDigitCount; }
    bool anyStray() const { return m_finder.any(); }
    const StrayCharacters& strays() const { return m_finder.strays(); }
    std::uint64_t digits() const { return m_digits; }
    RadixMode radix() const { return m_finder.radix(); }

private:
    StrayFinder m_finder;
    std::uint64_t m_digits = 0;
    bool m_countAll;
};

/// The input of a conversion, read once for each pass: the digit string comes out of it
/// piece by piece, never whole. Every pass calls goOn(done) between pieces, `done` counting
/// units of work (of size(), when known); false ends the pass there.
class DigitSource {
public:
    using GoOn = std::function<bool(std::uint64_t done)>;

    virtual ~DigitSource() = default;
    /// The units of work in one pass, or 0 when not known beforehand.
    virtual std::uint64_t size() const = 0;
    /// Counts the digit string into `tally`. False when reading failed (see error()).
    virtual bool count(Tally& tally, const GoOn& goOn) = 0;
    /// Hands the digit string, every character of it a digit of the radix now, to `writer`.
    virtual bool copy(WordWriter& writer, const GoOn& goOn) = 0;
    /// Counts as count() does and hands the digits to `writer` while no stray was found. This
    /// reads the input twice (count, then copy); a source that reads it once overrides it.
    virtual bool countAndCopy(Tally& tally, WordWriter& writer, const GoOn& goOn);
    /// Where the first digit-string character for which isIt(c) is true stands; with
    /// `toEnd`, also how far the digits reach after it. Nothing when there is none, the
    /// input has no places (raw bytes) or reading failed.
    virtual std::optional<SourcePlace> find(const std::function<bool(char16_t)>& isIt,
                                            bool toEnd) = 0;
    /// Why reading failed.
    virtual const platform::IoError& error() const = 0;
    /// The width in bits that the input itself sets, once count() has run; 0 for none.
    virtual int widthBits() const { return 0; }
    /// Why count() failed when the input broke its format's rules; null otherwise.
    virtual const Malformation* malformation() const { return nullptr; }
};

/// One conversion, for the window and the command line alike. Counts and checks the digit
/// string of `source` in a first pass and refuses, touching nothing, what would not make a
/// valid file holding every digit: no digits (EmptyInput, whatever the width), no width, a
/// character that is not a digit (NotADigit names the first, where it stands, and counts
/// them), too many digits, a tail too short for a word (DigitsDropped says where it
/// starts), and what the options refuse. Then opens `target`, writes the file in the
/// format asked for through it in a second pass and commits it. Holds only bounded buffers, never
/// the digit string or the word list. `progress`, when given, is called between pieces.
ConvertResult Convert(DigitSource& source, const ConvertOptions& options,
                      platform::ByteTarget& target, const platform::Clock& clock,
                      const ConvertProgress& progress = {});

/// The input box's text as a DigitSource: lines end at CR LF, as the box holds them, and
/// places are the box's lines, columns and indexes. Read in pieces of 64 Ki characters.
class TextSource final : public DigitSource {
public:
    explicit TextSource(std::u16string_view text) : m_text(text) {}

    std::uint64_t size() const override { return m_text.size(); }
    bool count(Tally& tally, const GoOn& goOn) override;
    bool copy(WordWriter& writer, const GoOn& goOn) override;
    std::optional<SourcePlace> find(const std::function<bool(char16_t)>& isIt, bool toEnd) override;
    const platform::IoError& error() const override { return m_error; }

private:
    std::u16string_view m_text;
    platform::IoError m_error; ///< a text in memory never fails to read
};

/// The line and column of text[offset], lines ending at CR LF as the input box shows them.
TextPosition PositionOf(std::u16string_view text, std::size_t offset);

} // namespace tarnwick
