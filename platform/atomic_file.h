#pragma once

// Writing a file so that it is either the old one or the whole new one, never half of it.
// The steps are written once (atomic_file.cpp); each system gives only its calls
// (temporary_file.h, in posix/ and windows/).

#include "byte_sink.h"
#include "io_error.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick::platform {

class DurableWhileWritten;
namespace system {
enum class Guard; // temporary_file.h
}

/// The system's own calls, as FileCalls takes them: write, fsync, close, rename and the
/// data-only sync. They return what the system call returns, with errno set on failure.
std::ptrdiff_t SystemWrite(int fd, const void* data, std::size_t size);
int SystemFsync(int fd);
int SystemClose(int fd);
int SystemRename(const char* from, const char* to);
int SystemDataSync(int fd);

/// A file with no name in `folder` (Linux's O_TMPFILE), open for writing, or -1 and errno.
int OpenUnnamedTemporary(const char* folder);

/// The system calls through which AtomicFileWriter writes, syncs and closes; tests replace
/// them to make each one fail or fall short.
struct FileCalls {
    std::ptrdiff_t (*write)(int fd, const void* data, std::size_t size) = SystemWrite;
    int (*fsync)(int fd) = SystemFsync;
    int (*close)(int fd) = SystemClose;
    int (*rename)(const char* from, const char* to) = SystemRename;
    int (*datasync)(int fd) = SystemDataSync; ///< the syncs made while the file is written
    /// Opens a file without a name in `folder` for writing, or fails (-1 and errno) where
    /// the file system cannot.
    int (*openUnnamed)(const char* folder) = OpenUnnamedTemporary;
};

/// Replaces a file atomically and durably: the bytes go to a temporary file in the target's
/// folder, which is synced to disk, closed and renamed over the target only when everything
/// was written; the folder is synced after the rename. Until then, and whenever anything
/// fails (a short write that cannot be completed, fsync, close, rename), the earlier file
/// stays exactly as it was and no temporary file is left behind. Where the file system
/// allows, the temporary file has no name until commit links it into the folder (Linux's
/// O_TMPFILE), or is marked for deletion until commit takes the mark back (Windows), so even
/// a killed process leaves nothing; elsewhere its name is removed on SIGINT, SIGTERM and
/// SIGHUP once InstallSignalCleanup() has run. A symbolic link is
/// followed: the link stays and the file it points to is replaced. A replaced file keeps its
/// mode and, where the process may set it, its owner; a new file gets the umask's mode. A
/// missing target folder is created unless setCreateFolder(false). Writes are buffered; the
/// first failure is kept and later writes are ignored. A large file is synced every few MiB
/// by a thread of its own while it is written, and a failed sync there fails the file.
///
/// A target that exists and is not a regular file (a character or block device such as
/// /dev/null, a named pipe, a terminal) is written in place instead: no temporary file, no
/// rename, its mode and owner untouched, synced where it can be. A socket or a folder is
/// refused.
class AtomicFileWriter final : public ByteTarget {
public:
    explicit AtomicFileWriter(std::filesystem::path target, FileCalls calls = {});
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// Whether open() creates a missing target folder (the default) or fails with ENOENT.
    void setCreateFolder(bool create) { m_createFolder = create; }

    /// Creates the folder if needed and the temporary file. False on failure (see error()).
    bool open() override;
    void write(std::string_view bytes) override;
    /// Flushes, closes and renames over the target. False on failure (see error()).
    bool commit() override;

    bool failed() const override { return m_failed; }
    const IoError& error() const override { return m_error; }

private:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
    static constexpr std::size_t kDirectSize = std::size_t{64} << 10;
    // Small enough that the last sync has little left, large enough that the syncs stay few.
    static constexpr std::uint64_t kSyncStep = std::uint64_t{4} << 20;

    void flushBuffer();
    void writeOut(std::string_view bytes);
    void fail(const std::filesystem::path& path, int code, std::string reason = {});
    bool openInPlace();
    bool commitInPlace();
    bool keepTemporary();
    bool linkUnnamed();
    void nameTemporary(std::filesystem::path path);
    void discard();

    std::filesystem::path m_given;  ///< as named: the kernel follows /proc's own links
    std::filesystem::path m_target; ///< with symbolic links followed to the end
    FileCalls m_calls;
    std::filesystem::path m_tempPath; ///< empty while the temporary file has no name
    int m_signalSlot = -1;            ///< its entry in the signal cleanup's list
    system::Guard m_guard{};          ///< how the temporary file is kept from outliving the process
    bool m_createFolder = true;
    bool m_inPlace = false; ///< writing into a device or pipe, not replacing a file
    int m_fd = -1;
    std::string m_buffer;
    std::uint64_t m_written = 0; ///< bytes handed to the file so far
    std::unique_ptr<DurableWhileWritten> m_syncer;
    bool m_failed = false;
    bool m_committed = false;
    IoError m_error;
};

/// Writes all of `bytes` to `fd`, retrying after interrupts and short writes. Returns 0 or
/// the errno value of the failure.
int WriteAll(int fd, std::string_view bytes, const FileCalls& calls = {});

} // namespace tarnwick::platform
