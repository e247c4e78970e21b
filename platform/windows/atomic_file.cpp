#include "platform/atomic_file.h"

#include "platform/durable_sync.h"
#include "platform/signal_cleanup.h"
#include "wide.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <random>
#include <system_error>

namespace tarnwick::platform {

namespace {

using windows::HandleOf;
using windows::LastErrno;

std::filesystem::path temporarySibling(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    std::wstring name = L"." + target.filename().wstring() + L".tmp-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(salt) +
                        L"-" + std::to_wstring(counter++);
    return target.parent_path() / name;
}

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

std::filesystem::path folderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
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

bool AtomicFileWriter::openInPlace(unsigned) {
    // NUL, CON, a named pipe: written where they stand.
    m_fd =
        descriptorOf(CreateFileW(m_given.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
        DeleteFileW(m_tempPath.c_str());
        nameTemporary({});
    }
    m_buffer.clear();
}

void AtomicFileWriter::nameTemporary(std::filesystem::path path) {
    ForgetTemporary(m_signalSlot);
    m_signalSlot = path.empty() ? -1 : RemoveOnSignal(windows::Narrow(path.wstring()).c_str());
    m_tempPath = std::move(path);
}

bool AtomicFileWriter::open() {
    const std::filesystem::path folder = folderOf(m_target);
    int code = 0;
    const windows::FileKind given = windows::KindOf(m_given, &code);
    if (given == windows::FileKind::Device)
        return openInPlace(0);
    const windows::FileKind kind = windows::KindOf(m_target);
    if (kind == windows::FileKind::Directory) {
        fail(m_target, EISDIR);
        return false;
    }
    const bool replacing = kind == windows::FileKind::Regular;

    if (m_createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            fail(folder, ec.value());
            return false;
        }
    }
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (replacing) {
        // A read-only file says "keep me"; the rename below would not ask.
        const DWORD old = GetFileAttributesW(m_target.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) {
            fail(m_target, EACCES);
            return false;
        }
        // The new file takes the old one's place: hidden, system and archive marks stay.
        if (old != INVALID_FILE_ATTRIBUTES)
            attributes = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (attributes == 0)
            attributes = FILE_ATTRIBUTE_NORMAL;
    }

    nameTemporary(temporarySibling(m_target));
    // Shared for deletion, so the console's Ctrl+C handler may remove it while it is open.
    HANDLE handle = CreateFileW(m_tempPath.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, attributes, nullptr);
    // Marked for deletion at once: however the process ends, even killed, the system removes
    // the file with its last handle. Commit takes the mark back.
    FILE_DISPOSITION_INFO gone{TRUE};
    m_unnamed = handle != INVALID_HANDLE_VALUE &&
                SetFileInformationByHandle(handle, FileDispositionInfo, &gone, sizeof gone);
    m_fd = descriptorOf(handle);
    if (m_fd < 0) {
        const int error = errno;
        nameTemporary({});
        fail(folder, error);
        return false;
    }
    m_buffer.reserve(kBufferSize);
    return true;
}

bool AtomicFileWriter::keepTemporary() {
    // Takes back the mark for deletion that open() set.
    FILE_DISPOSITION_INFO keep{FALSE};
    if (m_unnamed &&
        !SetFileInformationByHandle(HandleOf(m_fd), FileDispositionInfo, &keep, sizeof keep)) {
        fail(m_target, LastErrno());
        return false;
    }
    return true;
}

bool AtomicFileWriter::renameIntoPlace() {
    return m_calls.rename(windows::Narrow(m_tempPath.wstring()).c_str(),
                          windows::Narrow(m_target.wstring()).c_str()) == 0;
}

void AtomicFileWriter::syncFolder() {
    // MOVEFILE_WRITE_THROUGH returned only once the rename was on disk.
}

bool AtomicFileWriter::commitInPlace() {
    // NUL, a console or a pipe cannot be flushed to a disk: that is not a failure.
    (void)FlushFileBuffers(HandleOf(m_fd));
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
