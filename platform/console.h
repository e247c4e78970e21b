#pragma once

// The command line's arguments and messages. Inside the program names and messages are the
// arguments' own bytes: the locale's encoding on POSIX systems, UTF-8 on Windows, where the
// arguments come from the wide command line and messages go out in the console's terms.
// The interface is the system's; posix/ and windows/ implement it.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform {

/// The program's arguments, file names included, in the form the other services take
/// names: as given on POSIX systems; on Windows read again from the UTF-16 command line and
/// converted to UTF-8, since the ANSI code page cannot carry every name.
std::vector<std::string> Arguments(int argc, char** argv);

/// The path a name from Arguments stands for (on Windows, UTF-8 read as such, not in the
/// ANSI code page as a narrow string would be).
std::filesystem::path PathOfName(const std::string& name);

/// Writes a message to `stream` (standard output or error). On Windows a console gets it
/// as UTF-16; anything else gets it in the console's code page.
void WriteMessage(std::FILE* stream, std::string_view text);

/// The character `c` as a message can show it, in the encoding WriteMessage takes; empty
/// when the user's terminal cannot show it or it shows nothing.
std::string ShowableCharacter(char32_t c);

} // namespace tarnwick::platform
