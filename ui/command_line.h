#pragma once

#include <optional>
#include <string>

namespace tarnwick::ui {

/// What the program's own command line asks for. Qt's options (-platform, -style, ...)
/// are let through for QApplication.
struct CommandLine {
    std::optional<int> exitStatus; ///< set when the program should stop at once with it
    std::string file;              ///< a file to load at start, empty for none
};

/// Reads `tarnwick [Qt options] [FILE]`. --help and --version print to standard output
/// (exit 0); an unknown option or a second file prints a short usage to standard error
/// (exit 2). Needs no display.
CommandLine ParseCommandLine(int argc, char** argv);

} // namespace tarnwick::ui
