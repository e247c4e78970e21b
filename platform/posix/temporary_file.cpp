#include "platform/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tarnwick::platform {

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

namespace system {

Target Inspect(const std::filesystem::path& path) {
    Target target;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return target;
    target.kind = S_ISREG(st.st_mode)    ? TargetKind::Regular
                  : S_ISDIR(st.st_mode)  ? TargetKind::Directory
                  : S_ISSOCK(st.st_mode) ? TargetKind::Socket
                                         : TargetKind::Device;
    target.readOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    target.mode = st.st_mode & 07777;
    target.owner = st.st_uid;
    target.group = st.st_gid;
    return target;
}

int OpenInPlace(const std::filesystem::path& path) {
    // O_NOCTTY: a terminal given as output must not become the controlling one.
    return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
}

int OpenUnnamed(const std::filesystem::path& folder, const FileCalls& calls) {
    // Without /proc the file could never be linked into place at commit.
    if (::access("/proc/self/fd", X_OK) != 0)
        return -1;
    return calls.openUnnamed(folder.c_str());
}

int CreateNamed(const std::filesystem::path& name, const Target&, Guard& guard) {
    guard = Guard::Named;
    // 0666 lets the umask decide, as for any newly created file.
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int TakeOver(int fd, const Target& replacing) {
    // The new file takes the place of the old one: it keeps its mode and, where the process
    // may set it, its owner (the owner first: a chown clears set-id bits).
    mode_t mode = replacing.mode;
    if (::fchown(fd, replacing.owner, replacing.group) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), replacing.group) != 0)
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID); // not ours to grant to our group
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

int LinkUnnamed(int fd, const std::filesystem::path& name) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int Unmark(int) {
    return ENOTSUP; // nothing is marked here
}

void Remove(const std::filesystem::path& path) {
    ::unlink(path.c_str());
}

void SyncFolder(const std::filesystem::path& folder, const FileCalls& calls) {
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        // The file is in place whatever this answers; a folder that cannot sync is no error.
        (void)calls.fsync(dirFd);
        ::close(dirFd);
    }
}

bool SyncInPlace(int fd, const FileCalls& calls) {
    // A pipe, a terminal or /dev/null cannot sync (EINVAL, EROFS): that is not a failure.
    return calls.fsync(fd) == 0 || errno == EINVAL || errno == EROFS || errno == ENOTSUP;
}

unsigned long ProcessId() {
    return static_cast<unsigned long>(::getpid());
}

std::string Utf8(const std::filesystem::path& path) {
    return path.native(); // names are bytes here, as the user's locale wrote them
}

} // namespace system

} // namespace tarnwick::platform
