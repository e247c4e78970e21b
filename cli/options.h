#pragma once

// tarnwick-convert's command line: what the user asked for, or why it cannot be done.

#include "engine/digits.h"
#include "platform/text_decoder.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::cli {

inline constexpr const char* kProgram = "tarnwick-convert";

enum Exit { Written = 0, NothingToConvert = 1, Usage = 2, Failed = 3 };

struct Options {
    RadixMode radix = RadixMode::Hexadecimal;
    int width = 8;
    std::string output = "Vetrask.mif";
    std::optional<std::int64_t> depth;
    bool binaryInput = false;
    bool strict = false;
    bool quiet = false;
    platform::TextEncoding encoding = platform::TextEncoding::Auto;
    std::string input = "-";
};

/// Prints "tarnwick-convert: TEXT" on standard error.
void Say(const std::string& text);

/// Reads the command line into `options`. Returns the exit status when the program should
/// stop at once (0 after --help or --version, Usage after an error it has reported), or
/// nothing to go on. Option errors are worded as GNU getopt words them.
std::optional<int> ParseOptions(int argc, char** argv, Options& options);

} // namespace tarnwick::cli
