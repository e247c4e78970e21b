#pragma once

// Reading files: whole (for the window), or as a stream read twice (for the command line).
// Written once (read_file.cpp) over the few calls each system gives (system_file.h, in
// posix/ and windows/).

#include "io_error.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::platform {

struct ReadResult {
    enum class Status { Ok, Failed, TooLarge, NotAFile };
    Status status = Status::Ok;
    std::string bytes;
    IoError error; ///< set unless Ok; for TooLarge the code is EFBIG
};

/// Reads a whole file as bytes. Refuses (TooLarge) anything longer than `maxBytes` without
/// reading it all, so a huge file or an endless device cannot exhaust memory. Opens
/// non-blocking so a FIFO or terminal never hangs the caller; a FIFO or socket is refused
/// (NotAFile) rather than read as whatever it holds at that instant.
ReadResult ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes);

/// Reads a regular file of known size, at most `maxBytes`, `piece` bytes at a time: calls
/// begin(size) once, then feed(bytes) for each piece. False, having fed what it read, when
/// the file cannot be opened, is not a regular file, is too large, fails to read, grows past
/// its size or feed() returns false; the caller then reads it another way (ReadWholeFile,
/// which says why).
bool ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::size_t piece,
                     const std::function<void(std::uint64_t size)>& begin,
                     const std::function<bool(std::string_view bytes)>& feed);

/// An input the command line reads twice: a file by seeking back to where it stood, anything
/// else (standard input, a pipe, a device) through an unnamed temporary file that the first
/// reading fills, so that the second reads the same bytes.
class InputStream {
public:
    InputStream();
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    /// Opens `name`, or standard input for "-". Returns why it cannot be read; the reason
    /// names the input.
    std::optional<IoError> open(const std::string& name);
    /// "standard input" or the name given.
    const std::string& name() const;
    /// A regular file: it can be read again, and it ends.
    bool seekable() const;

    /// Calls use(piece, last) for each piece of the input until it returns false; `last` is
    /// true for the empty piece at the end. The first reading starts where the input stood
    /// (a shell may have read a line before), each later one starts there again. A file
    /// (and the kept copy of a pipe) is read a piece ahead on a thread of its own, which
    /// never calls `use`. Returns why it failed.
    std::optional<IoError> read(const std::function<bool(std::string_view, bool)>& use);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tarnwick::platform
