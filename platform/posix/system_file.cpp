#include "platform/system_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace tarnwick::platform::system {

namespace {

// What fstat says of an open descriptor; the descriptor is closed on failure.
OpenFile describe(int fd, bool closeOnFailure) {
    OpenFile file;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        file.error = errno;
        if (closeOnFailure)
            ::close(fd);
        return file;
    }
    file.fd = fd;
    if (S_ISREG(st.st_mode)) {
        file.kind = FileKind::Regular;
        file.size = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISDIR(st.st_mode)) {
        file.kind = FileKind::Directory;
    } else if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
        file.kind = FileKind::Pipe;
    }
    return file;
}

} // namespace

OpenFile OpenForReading(const std::filesystem::path& path, bool nonBlocking) {
    // O_NOCTTY: a terminal named as input must not become the controlling one.
    const int fd =
        ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (nonBlocking ? O_NONBLOCK | O_NOCTTY : 0));
    if (fd < 0) {
        OpenFile file;
        file.error = errno;
        return file;
    }
    return describe(fd, true);
}

OpenFile OpenStandardInput() {
    return describe(0, false);
}

std::ptrdiff_t ReadSome(int fd, char* data, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, data, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

std::int64_t Offset(int fd) {
    return ::lseek(fd, 0, SEEK_CUR);
}

bool SeekTo(int fd, std::int64_t offset) {
    return ::lseek(fd, offset, SEEK_SET) >= 0;
}

void CloseFile(int fd) {
    ::close(fd);
}

int OpenSpool(int& error) {
    const char* folder = std::getenv("TMPDIR");
    if (!folder || !*folder)
        folder = "/tmp";
    // Unnamed: nothing to remove, however the program ends.
    int fd = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // No unnamed files there: a named one, unlinked at once.
        std::string path = std::string(folder) + "/tarnwick-spool-XXXXXX";
        fd = ::mkostemp(path.data(), O_CLOEXEC);
        if (fd >= 0)
            ::unlink(path.c_str());
    }
    if (fd < 0)
        error = errno;
    return fd;
}

} // namespace tarnwick::platform::system
