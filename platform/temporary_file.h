#pragma once

// The few calls AtomicFileWriter needs from each system (posix/, windows/): what a target
// is, the temporary file's making, keeping and removal, and the syncs. The order of the
// steps, the buffering and the failures are written once, in atomic_file.cpp. Internal to
// platform/.

#include "atomic_file.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tarnwick::platform::system {

/// What a name stands for on disk.
enum class TargetKind {
    Missing,   ///< nothing there (or it cannot be told)
    Regular,   ///< a file, replaced by the writer
    Directory, ///< refused
    Device,    ///< a device, a named pipe, a terminal: written where it stands
    Socket,    ///< refused
};

/// A target as the writer finds it before writing.
struct Target {
    TargetKind kind = TargetKind::Missing;
    bool readOnly = false; ///< nobody may write to it: "keep me"
    /// What the new file takes over from the one it replaces: on POSIX systems the mode
    /// bits, owner and group; on Windows the attributes that stay (hidden, system, ...).
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};

/// How the temporary file is kept from outliving a killed process until commit.
enum class Guard {
    Named,  ///< not at all: it has a name, removed on a signal (signal_cleanup.h)
    NoName, ///< it has no name yet (Linux's O_TMPFILE); commit links it into the folder
    Marked, ///< marked for deletion with its last handle (Windows); commit takes the mark back
};

/// `path` as the system finds it; symbolic links followed.
Target Inspect(const std::filesystem::path& path);

/// Opens an existing device, pipe or terminal for writing where it stands: a descriptor,
/// or -1 with errno set.
int OpenInPlace(const std::filesystem::path& path);

/// A temporary file in `folder` without a name, open for writing, where the system can make
/// one (through `calls.openUnnamed`); otherwise -1.
int OpenUnnamed(const std::filesystem::path& folder, const FileCalls& calls);

/// A temporary file created anew at `name`, open for writing, that will replace
/// `replacing` (Missing for none); `guard` says how it is kept from outliving the process.
/// -1 with errno set on failure.
int CreateNamed(const std::filesystem::path& name, const Target& replacing, Guard& guard);

/// Gives the new file the mode and owner of `replacing` where the system keeps them on
/// the file; 0 or the errno value.
int TakeOver(int fd, const Target& replacing);

/// Links a file of Guard::NoName into place at `name`: 0 or the errno value (EEXIST when
/// the name is taken).
int LinkUnnamed(int fd, const std::filesystem::path& name);

/// Takes back the mark of Guard::Marked: 0 or the errno value.
int Unmark(int fd);

/// Removes a named temporary file.
void Remove(const std::filesystem::path& path);

/// The folder's entry for a rename made durable, where the system needs it.
void SyncFolder(const std::filesystem::path& folder, const FileCalls& calls);

/// Syncs a device, pipe or terminal written in place: false (errno set) only for a failure
/// that means the bytes are lost, not for one that cannot sync at all.
bool SyncInPlace(int fd, const FileCalls& calls);

/// This process's number, for temporary names no other process makes.
unsigned long ProcessId();

/// `path` as the program's messages and signal cleanup name it: UTF-8.
std::string Utf8(const std::filesystem::path& path);

} // namespace tarnwick::platform::system
