#pragma once

#include "extract.h"

#include "platform/clock.h"
#include "platform/file_io.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tarnwick {

/// How one conversion ended.
enum class ConvertOutcome {
    EmptyInput,      ///< nothing left after delimiter removal; no file touched
    NoWidthSelected, ///< width index below 0; no file touched
    NotADigit,       ///< a character left is not a digit of the radix; no file touched
    InputTooLarge,   ///< more digits than a layout can count; no file touched
    DigitsDropped,   ///< the last digits are too few for a word; no file touched
    Cancelled,       ///< the progress callback asked to stop; the earlier file is unchanged
    WriteFailed,     ///< the file could not be written; the earlier file is unchanged
    Written,         ///< the file was written and closed
};

struct ConvertResult {
    ConvertOutcome outcome = ConvertOutcome::EmptyInput;
    WordLayout layout;       ///< the layout written (WriteFailed and Written)
    platform::IoError error; ///< set for WriteFailed
    StrayCharacters strays;  ///< set for NotADigit; lines end at CR LF, as the box shows them
    DroppedDigits dropped;   ///< set for DigitsDropped, placed as `strays`
};

/// Told how far a conversion has come: `done` of `total` units of work. Returning false
/// stops it (Cancelled) before the file replaces the earlier one.
using ConvertProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

/// One conversion: strips the delimiters from `text`; when nothing is left returns
/// EmptyInput without looking at `radix` or `widthIndex`; otherwise checks the width index
/// and that every character left is a digit of `radix` (NotADigit names the first and
/// counts them), works out the layout, refuses a tail of digits that the
/// layout would drop (DigitsDropped says where it starts), cuts the words and writes the MIF
/// file to `destination`. Nothing is written unless the file will be valid and hold every
/// digit. Streams:
/// beyond the text it holds only a bounded buffer, never the digit string or word list.
/// `progress`, when given, is called between pieces of about 64 Ki characters.
ConvertResult ConvertToMif(std::u16string_view text, RadixMode radix, std::int16_t widthIndex,
                           const std::filesystem::path& destination, const platform::Clock& clock,
                           const ConvertProgress& progress = {});

/// The line and column of text[offset], lines ending at CR LF as the input box shows them.
TextPosition PositionOf(std::u16string_view text, std::size_t offset);

/// The outcome's name, as the command-line driver prints it.
const char* OutcomeName(ConvertOutcome outcome);

} // namespace tarnwick
