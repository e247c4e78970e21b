#include "platform/temporary_file.h"

#include "wide.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>

namespace tarnwick::platform {

namespace {

using windows::HandleOf;
using windows::LastErrno;

// The descriptor of a handle this writer opened, or -1 with errno set.
int descriptorOf(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) {
        LastErrno();
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

} // namespace

std::ptrdiff_t SystemWrite(int fd, const void* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1U << 30)));
}
int SystemFsync(int fd) {
    if (!FlushFileBuffers(HandleOf(fd))) {
        LastErrno();
        return -1;
    }
    return 0;
}
int SystemClose(int fd) {
    return _close(fd);
}
int SystemRename(const char* from, const char* to) {
    // Replaces the file in one step, and returns only when the rename is on disk.
    if (!MoveFileExW(windows::Widen(from).c_str(), windows::Widen(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        LastErrno();
        return -1;
    }
    return 0;
}
int SystemDataSync(int fd) {
    return SystemFsync(fd);
}

int OpenUnnamedTemporary(const char*) {
    errno = EOPNOTSUPP; // Windows files always have a name
    return -1;
}

namespace system {

Target Inspect(const std::filesystem::path& path) {
    Target target;
    switch (windows::KindOf(path)) {
    case windows::FileKind::Missing:
        return target;
    case windows::FileKind::Directory:
        target.kind = TargetKind::Directory;
        return target;
    case windows::FileKind::Device: // NUL, CON, a named pipe
        target.kind = TargetKind::Device;
        return target;
    case windows::FileKind::Regular:
        target.kind = TargetKind::Regular;
        break;
    }
    const DWORD old = GetFileAttributesW(path.c_str());
    if (old != INVALID_FILE_ATTRIBUTES) {
        target.readOnly = (old & FILE_ATTRIBUTE_READONLY) != 0;
        // The new file takes the old one's place: hidden, system and archive marks stay.
        target.mode = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    }
    return target;
}

int OpenInPlace(const std::filesystem::path& path) {
    return descriptorOf(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

int OpenUnnamed(const std::filesystem::path&, const FileCalls&) {
    return -1; // Windows files always have a name; CreateNamed marks it instead
}

int CreateNamed(const std::filesystem::path& name, const Target& replacing, Guard& guard) {
    const DWORD attributes = replacing.kind == TargetKind::Regular && replacing.mode != 0
                                 ? replacing.mode
                                 : FILE_ATTRIBUTE_NORMAL;
    // Shared for deletion, so the console's Ctrl+C handler may remove it while it is open.
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, attributes, nullptr);
    // Marked for deletion at once: however the process ends, even killed, the system removes
    // the file with its last handle. Commit takes the mark back.
    FILE_DISPOSITION_INFO gone{TRUE};
    guard = handle != INVALID_HANDLE_VALUE &&
                    SetFileInformationByHandle(handle, FileDispositionInfo, &gone, sizeof gone)
                ? Guard::Marked
                : Guard::Named;
    return descriptorOf(handle);
}

int TakeOver(int, const Target&) {
    return 0; // the attributes were given at creation; Windows keeps no mode bits
}

int LinkUnnamed(int, const std::filesystem::path&) {
    return ENOTSUP; // never without a name here
}

int Unmark(int fd) {
    FILE_DISPOSITION_INFO keep{FALSE};
    if (!SetFileInformationByHandle(HandleOf(fd), FileDispositionInfo, &keep, sizeof keep))
        return LastErrno();
    return 0;
}

void Remove(const std::filesystem::path& path) {
    DeleteFileW(path.c_str());
}

void SyncFolder(const std::filesystem::path&, const FileCalls&) {
    // MOVEFILE_WRITE_THROUGH returned only once the rename was on disk.
}

bool SyncInPlace(int fd, const FileCalls&) {
    // NUL, a console or a pipe cannot be flushed to a disk: that is not a failure.
    (void)FlushFileBuffers(HandleOf(fd));
    return true;
}

unsigned long ProcessId() {
    return GetCurrentProcessId();
}

std::string Utf8(const std::filesystem::path& path) {
    return windows::Narrow(path.wstring());
}

} // namespace system

} // namespace tarnwick::platform
