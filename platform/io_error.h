#pragma once

#include <filesystem>
#include <string>

namespace tarnwick::platform {

/// What went wrong with a file: which one, and the system's own words for it.
struct IoError {
    std::filesystem::path path;
    int code = 0;       ///< an errno value (EACCES, ENOSPC, ...), whatever the system
    std::string reason; ///< its text in the user's locale
};

/// Builds an IoError for `path` from an errno value.
IoError MakeIoError(const std::filesystem::path& path, int code);

/// The text of an errno value. Through std::generic_category(), which speaks of errno values
/// on every system (the system category would read them as the system's own codes).
std::string ErrorText(int code);

} // namespace tarnwick::platform
