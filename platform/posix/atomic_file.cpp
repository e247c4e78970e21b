#include "platform/atomic_file.h"

#include "platform/durable_sync.h"
#include "platform/paths.h"
#include "platform/signal_cleanup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

namespace tarnwick::platform {

namespace {

std::filesystem::path temporarySibling(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string&&.
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp-" + std::to_string(::getpid()) + '-' + std::to_string(salt) + '-' +
            std::to_string(counter++);
    return target.parent_path() / name;
}

} // namespace

std::ptrdiff_t SystemWrite(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}
int SystemFsync(int fd) {
    return ::fsync(fd);
}
int SystemClose(int fd) {
    return ::close(fd);
}
int SystemRename(const char* from, const char* to) {
    return ::rename(from, to);
}
int SystemDataSync(int fd) {
    return ::fdatasync(fd);
}

int OpenUnnamedTemporary(const char* folder) {
    // 0666 lets the umask decide, as for any newly created file.
    return ::open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

bool AtomicFileWriter::openInPlace(unsigned mode) {
    if (S_ISSOCK(mode)) {
        fail(m_given, ENXIO, "is a socket, not a file");
        return false;
    }
    // O_NOCTTY: a terminal given as output must not become the controlling one.
    m_fd = ::open(m_given.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        fail(m_given, errno);
        return false;
    }
    m_inPlace = true;
    m_buffer.reserve(kBufferSize);
    return true;
}

void AtomicFileWriter::discard() {
    m_syncer.reset(); // no sync may reach the descriptor once it is closed
    if (m_fd >= 0) {
        m_calls.close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        nameTemporary({});
    }
    m_buffer.clear();
}

void AtomicFileWriter::nameTemporary(std::filesystem::path path) {
    ForgetTemporary(m_signalSlot);
    m_signalSlot = path.empty() ? -1 : RemoveOnSignal(path.c_str());
    m_tempPath = std::move(path);
}

bool AtomicFileWriter::linkUnnamed() {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", m_fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path name = temporarySibling(m_target);
        nameTemporary(name); // listed before it exists, so no moment has it unlisted
        if (::linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        const int code = errno;
        nameTemporary({}); // nothing was linked: no name to remove
        if (code != EEXIST) {
            fail(m_target, code);
            return false;
        }
    }
    fail(m_target, EEXIST);
    return false;
}

bool AtomicFileWriter::open() {
    const std::filesystem::path folder =
        m_target.has_parent_path() ? m_target.parent_path() : std::filesystem::path(".");
    // Devices and pipes are written into, never replaced: /dev/null must stay a device.
    // Asked of the name as given, so /dev/stdout reaches the pipe behind /proc/self/fd.
    struct stat given {};
    if (::stat(m_given.c_str(), &given) == 0 && !S_ISREG(given.st_mode) && !S_ISDIR(given.st_mode))
        return openInPlace(given.st_mode);

    struct stat st {};
    const bool replacing = ::stat(m_target.c_str(), &st) == 0;
    if (replacing && S_ISDIR(st.st_mode)) {
        fail(m_target, EISDIR);
        return false;
    }

    if (m_createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            fail(folder, ec.value());
            return false;
        }
    }
    if (replacing) {
        // A file nobody may write to says "keep me"; the rename below would not ask.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            fail(m_target, EACCES);
            return false;
        }
    }

    // A file with no name cannot outlive the process; /proc links it into place at commit.
    if (::access("/proc/self/fd", X_OK) == 0)
        m_fd = m_calls.openUnnamed(folder.c_str());
    m_unnamed = m_fd >= 0;
    if (!m_unnamed) {
        nameTemporary(temporarySibling(m_target));
        // 0666 lets the umask decide, as for any newly created file.
        m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            const int code = errno;
            nameTemporary({});
            fail(folder, code);
            return false;
        }
    }
    if (replacing) {
        // The new file takes the place of the old one: it keeps its mode and, where the
        // process may set it, its owner (the owner first: a chown clears set-id bits).
        mode_t mode = st.st_mode & 07777;
        if (::fchown(m_fd, st.st_uid, st.st_gid) != 0 &&
            ::fchown(m_fd, static_cast<uid_t>(-1), st.st_gid) != 0)
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID); // not ours to grant to our group
        if (::fchmod(m_fd, mode) != 0) {
            fail(m_target, errno);
            return false;
        }
    }
    m_buffer.reserve(kBufferSize);
    return true;
}

bool AtomicFileWriter::keepTemporary() {
    return !m_unnamed || linkUnnamed();
}

bool AtomicFileWriter::renameIntoPlace() {
    return m_calls.rename(m_tempPath.c_str(), m_target.c_str()) == 0;
}

void AtomicFileWriter::syncFolder() {
    // The rename itself reaches the disk with the folder.
    const std::filesystem::path folder =
        m_target.has_parent_path() ? m_target.parent_path() : std::filesystem::path(".");
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        // The file is in place whatever this answers; a folder that cannot sync is no error.
        (void)m_calls.fsync(dirFd);
        ::close(dirFd);
    }
}

bool AtomicFileWriter::commitInPlace() {
    // A pipe, a terminal or /dev/null cannot sync (EINVAL, EROFS): that is not a failure.
    if (m_calls.fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
        fail(m_given, errno);
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (m_calls.close(fd) != 0) {
        fail(m_given, errno);
        return false;
    }
    m_committed = true;
    return true;
}

} // namespace tarnwick::platform
