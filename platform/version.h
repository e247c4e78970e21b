#pragma once

// What both programs say of themselves. The version is the CMake project's, the one source.

#include <cstdio>

namespace tarnwick::platform {

inline constexpr const char* kVersion = TARNWICK_VERSION;

/// Prints `program`'s --version text to standard output, as GNU tools word it.
inline void PrintVersion(const char* program) {
    std::printf("%s (Tarnwick) %s\n"
                "Copyright (C) 2011 Vetrask.\n"
                "License MIT: <https://opensource.org/licenses/MIT>.\n",
                program, kVersion);
}

} // namespace tarnwick::platform
