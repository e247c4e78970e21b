#pragma once

#include "diagnostic.h"
#include "digits.h"
#include "source.h"

#include "platform/byte_sink.h"
#include "platform/clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tarnwick {

/// How one conversion ended.
enum class ConvertOutcome {
    EmptyInput,      ///< nothing left after delimiter removal; no file touched
    NoWidthSelected, ///< the width is not one the radix allows; no file touched
    NotADigit,       ///< a character left is not a digit of the radix; no file touched
    InputTooLarge,   ///< more digits than a layout can count; no file touched
    DigitsDropped,   ///< the last digits are too few for a word; no file touched
    Malformed,       ///< the input breaks its format's rules (an error diagnostic); no file touched
    WarningRefused,  ///< a warning (a short last word, a gap...) the options refuse; nothing kept
    DeeperThanPadding, ///< more words than the padded depth; nothing kept
    ReadFailed,        ///< the input could not be read (error says why); nothing kept
    Cancelled,         ///< the progress callback asked to stop; the earlier file is unchanged
    WriteFailed,       ///< the output could not be written; the earlier file is unchanged
    Written,           ///< the output was written and committed
};

/// The memory file formats a conversion writes: each is a WordWriter and a row of
/// OutputFormats() (formats.h).
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
    /// The width of the input's words, which its addresses count, where it differs from the
    /// memory's: a multiple of widthBits (words split into narrower memories) or a divisor
    /// (bytes packed into words), or NoWidthSelected. 0: the input's words are the memory's.
    int inputWidthBits = 0;
    /// The order of the input's words inside a memory word; without it, the order the input
    /// states (DigitSource::byteOrder), else big-endian.
    std::optional<ByteOrder> byteOrder;
    /// One input word's value where the input gives none: the rest of a short last memory
    /// word, and the words that pad up to paddedDepth. (Readers fill their own gaps.)
    std::uint64_t fill = 0;
    /// Refuse the input when anything is warned of (a short last word, a reader's warning),
    /// rather than write it: each warning becomes an error.
    bool warningsRefused = false;
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
    /// In the order found: the reader's warnings once the input proved convertible, the
    /// driver's (a short last word), and the refusal of Malformed, WarningRefused and
    /// DeeperThanPadding as an error.
    std::vector<Diagnostic> diagnostics;
};

/// Told how far a conversion has come: `done` of `total` units of work. Returning false
/// stops it (Cancelled) before the output replaces the earlier one.
using ConvertProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

/// Whether memory words of `widthBits` can be made from input words of `inputWidthBits` (0:
/// the same) in `radix`: one width a multiple of the other, the narrower in whole digits.
bool WidthsFit(RadixMode radix, int widthBits, int inputWidthBits);

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

} // namespace tarnwick
