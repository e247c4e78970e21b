#include "platform/system_file.h"

#include "wide.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>

namespace tarnwick::platform::system {

namespace {

using windows::HandleOf;
using windows::LastErrno;

// What an open handle is; `fd` is its descriptor.
OpenFile describe(HANDLE handle, int fd) {
    OpenFile file;
    file.fd = fd;
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION info{};
        LARGE_INTEGER size{};
        if (GetFileInformationByHandle(handle, &info) &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            file.kind = FileKind::Directory;
        } else if (GetFileSizeEx(handle, &size)) {
            file.kind = FileKind::Regular;
            file.size = static_cast<std::uint64_t>(size.QuadPart);
        }
        break;
    }
    case FILE_TYPE_PIPE:
        file.kind = FileKind::Pipe;
        break;
    default:
        break;
    }
    return file;
}

} // namespace

OpenFile OpenForReading(const std::filesystem::path& path, bool) {
    // Every sharing mode: a file another program holds open is still read.
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    OpenFile file;
    if (handle == INVALID_HANDLE_VALUE) {
        file.error = LastErrno();
        return file;
    }
    // Binary: text mode would drop every CR before an LF and stop at the first 0x1A.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        file.error = EMFILE;
        return file;
    }
    return describe(handle, fd);
}

OpenFile OpenStandardInput() {
    // Binary: text mode would drop every CR before an LF and stop at the first 0x1A.
    _setmode(0, _O_BINARY);
    if (HandleOf(0) == INVALID_HANDLE_VALUE) {
        OpenFile file;
        file.error = EBADF;
        return file;
    }
    return describe(HandleOf(0), 0);
}

std::ptrdiff_t ReadSome(int fd, char* data, std::size_t size) {
    return _read(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1U << 30)));
}

std::int64_t Offset(int fd) {
    return _lseeki64(fd, 0, SEEK_CUR);
}

bool SeekTo(int fd, std::int64_t offset) {
    return _lseeki64(fd, offset, SEEK_SET) >= 0;
}

void CloseFile(int fd) {
    _close(fd);
}

int OpenSpool(int& error) {
    // Deleted by the system when closed, however the program ends.
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    wchar_t path[MAX_PATH + 1];
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"tw", 0, path) == 0) {
        error = LastErrno();
        return -1;
    }
    HANDLE handle =
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastErrno();
        DeleteFileW(path);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        error = EMFILE;
    }
    return fd;
}

} // namespace tarnwick::platform::system
