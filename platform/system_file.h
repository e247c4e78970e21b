#pragma once

// The few file calls read_file.cpp and streams.cpp need, one set per system (posix/,
// windows/): the reading itself, the size limits, the second pass and the parsing of
// descriptor names are written once. Internal to platform/.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::platform::system {

enum class FileKind {
    Regular,   ///< a file on disk, of known size
    Directory, ///< not to be read
    Pipe,      ///< a FIFO or socket: holds whatever it holds at this instant
    Other,     ///< a device, a terminal
};

/// A descriptor open for reading, or why not (`error`, an errno value, and `fd` -1).
struct OpenFile {
    int fd = -1;
    int error = 0;
    FileKind kind = FileKind::Other;
    std::uint64_t size = 0; ///< for a regular file
};

/// Opens `path` for reading, in binary. With `nonBlocking`, a FIFO or terminal never hangs
/// the caller (POSIX; Windows never blocks on opening).
OpenFile OpenForReading(const std::filesystem::path& path, bool nonBlocking);
/// Standard input, in binary.
OpenFile OpenStandardInput();
/// Reads at most `size` bytes, retrying after interrupts: the count, 0 at the end, or -1
/// with errno set.
std::ptrdiff_t ReadSome(int fd, char* data, std::size_t size);
/// Where `fd` stands, or -1 where it cannot seek.
std::int64_t Offset(int fd);
/// Moves `fd` to `offset`; false with errno set on failure.
bool SeekTo(int fd, std::int64_t offset);
void CloseFile(int fd);
/// The folders whose entries name descriptors the shell opened (/dev/fd/N), each with its
/// trailing slash.
std::vector<std::string> DescriptorFolders();
/// A temporary file open for reading and writing that the system removes however the
/// program ends, or -1 with its errno value in `error`.
int OpenSpool(int& error);

} // namespace tarnwick::platform::system
