#pragma once

// What the Windows implementations share: names in UTF-16, and Windows error codes as the
// errno values the seam speaks of.

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick::platform::windows {

/// UTF-8 (as names travel inside the program) to UTF-16 (as Windows takes them).
std::wstring Widen(std::string_view utf8);
/// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view utf16);

/// The errno value closest to a Windows error code (GetLastError()): ENOSPC for a full
/// disk, EACCES for a denied or shared file, ENOENT for a missing one; EIO otherwise.
int ErrnoOf(unsigned long error);
/// ErrnoOf(GetLastError()), also left in errno, as the POSIX calls do.
int LastErrno();

/// What a name stands for on disk, asked without opening it for reading or writing.
enum class FileKind { Missing, Regular, Directory, Device };
/// `code` receives the errno value when the kind cannot be told (Missing is returned then).
FileKind KindOf(const std::filesystem::path& path, int* code = nullptr);

/// The handle behind a C runtime descriptor, or INVALID_HANDLE_VALUE.
void* HandleOf(int fd);

} // namespace tarnwick::platform::windows
