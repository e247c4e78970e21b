#pragma once

// What a conversion found to say, as data: the engine never shows anything, the window and
// the command line decide what to print.

#include "digits.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

/// Where a character of the input stood.
struct SourcePlace {
    TextPosition at;
    std::size_t offset = 0; ///< its index in the text, where the source has one
    std::size_t length = 0; ///< code units from it to the end of the last digit, if asked
};

/// One warning or refusal. The driver's own carry the values their message needs and leave
/// the wording to the caller; a reader's are worded by the reader, which knows its format.
struct Diagnostic {
    enum class Severity {
        Warning, ///< the file is written all the same
        Error,   ///< nothing is written
    };
    enum class Kind {
        ShortLastWord,  ///< the last word has `count` of `of` digits
        FilledLastWord, ///< the last word holds `count` of `of` input words, then the fill
        /// `count` values of `fewest` to `most` digits joined into words of `of` digits, as the
        /// digits rule joins them; never refused, since joining is that rule
        JoinedValues,
        DeeperThanPadding, ///< `count` words (0: more than `of`, the count stopped) > depth `of`
        Reader,            ///< a reader's finding, worded in `text`
    };

    Kind kind = Kind::Reader;
    Severity severity = Severity::Warning;
    /// Where in the input, when the input has places (raw bytes have none).
    std::optional<SourcePlace> place;
    std::uint64_t count = 0;
    std::uint64_t of = 0;
    std::uint64_t fewest = 0; ///< JoinedValues
    std::uint64_t most = 0;   ///< JoinedValues
    std::string text;         ///< Reader: the message, without place or severity

    bool isError() const { return severity == Severity::Error; }
};

} // namespace tarnwick
