#pragma once

// tarnwick-convert's command line: what the user asked for, or why it cannot be done.

#include "engine/convert.h"
#include "engine/digits.h"
#include "engine/formats.h"
#include "text/text_decoder.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::cli {

inline constexpr const char* kProgram = "tarnwick-convert";

enum Exit { Written = 0, NothingToConvert = 1, Usage = 2, Failed = 3 };

struct Options {
    RadixMode radix = RadixMode::Hexadecimal;
    int width = 8;
    bool widthGiven = false; ///< -w was given (readmem input otherwise takes its widest word)
    OutputFormat format = OutputFormat::Mif;
    InputFormat from = InputFormat::Digits;
    std::string output; ///< -o; otherwise Vetrask with the extension of --to
    std::optional<std::int64_t> depth;
    bool strict = false;
    bool unknownAsZero = false; ///< --unknown=zero
    int inputWidth = 0;         ///< --input-width; 0: the reader's own (8 for images, else -w)
    std::optional<ByteOrder> byteOrder;
    std::optional<std::uint64_t> base;
    std::uint64_t fill = 0;
    bool quiet = false;
    text::TextEncoding encoding = text::TextEncoding::Auto;
    std::string input = "-";
};

/// Prints "tarnwick-convert: TEXT" on standard error.
void Say(const std::string& text);

/// Prints `line` and a line end on standard error, as the console takes text.
void SayLine(const std::string& line);

/// Reads the command line into `options`. Returns the exit status when the program should
/// stop at once (0 after --help or --version, Usage after an error it has reported), or
/// nothing to go on. Option errors are worded as GNU getopt words them.
std::optional<int> ParseOptions(int argc, char** argv, Options& options);

} // namespace tarnwick::cli
