#include "platform/read_file.h"

#include "platform/atomic_file.h"
#include "platform/text_file.h"
#include "wide.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tarnwick::platform {

namespace {

using windows::HandleOf;
using windows::LastErrno;

// Opened with every sharing mode: a file another program holds open is still read.
int openForReading(const std::filesystem::path& path, int* code) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *code = LastErrno();
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        *code = EISDIR;
        return -1;
    }
    // Binary: text mode would drop every CR before an LF and stop at the first 0x1A.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        *code = EMFILE;
    }
    return fd;
}

struct FdCloser {
    int fd;
    ~FdCloser() { _close(fd); }
};

// A read of at most what one call takes.
int readSome(int fd, char* data, std::size_t size) {
    return _read(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1U << 30)));
}

} // namespace

ReadResult ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes) {
    ReadResult result;
    auto failWith = [&](int code, ReadResult::Status status) {
        result.status = status;
        result.bytes.clear();
        result.bytes.shrink_to_fit();
        result.error = MakeIoError(path, code);
        return std::move(result);
    };
    int code = 0;
    const int fd = openForReading(path, &code);
    if (fd < 0)
        return failWith(code, ReadResult::Status::Failed);
    const FdCloser closer{fd};
    const DWORD type = GetFileType(HandleOf(fd));
    // A pipe holds whatever it holds at this instant: not a file.
    if (type == FILE_TYPE_PIPE)
        return failWith(EINVAL, ReadResult::Status::NotAFile);
    LARGE_INTEGER size{};
    const bool sized = type == FILE_TYPE_DISK && GetFileSizeEx(HandleOf(fd), &size);
    if (sized && static_cast<std::uint64_t>(size.QuadPart) > maxBytes)
        return failWith(EFBIG, ReadResult::Status::TooLarge);

    const std::uint64_t limit = maxBytes + 1;
    const std::uint64_t initial = sized ? static_cast<std::uint64_t>(size.QuadPart) + 1 : 65536;
    result.bytes.resize(static_cast<std::size_t>(std::min(initial, limit)));
    std::size_t filled = 0;
    for (;;) {
        if (filled == result.bytes.size()) {
            if (filled >= limit)
                return failWith(EFBIG, ReadResult::Status::TooLarge);
            const std::uint64_t grown = std::max<std::uint64_t>(2 * std::uint64_t{filled}, 65536);
            result.bytes.resize(static_cast<std::size_t>(std::min(grown, limit)));
        }
        const int got = readSome(fd, result.bytes.data() + filled, result.bytes.size() - filled);
        if (got < 0)
            return failWith(errno, ReadResult::Status::Failed);
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > maxBytes)
        return failWith(EFBIG, ReadResult::Status::TooLarge);
    result.bytes.resize(filled);
    return result;
}

TextFileRead ReadTextFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                          const std::function<char16_t*(std::size_t)>& room) {
    TextFileRead result;
    // Anything but a plain ASCII file of known size is read whole and decoded.
    const auto readWhole = [&] {
        ReadResult whole = ReadWholeFile(path, maxBytes);
        result = TextFileRead{};
        result.status = whole.status;
        result.error = std::move(whole.error);
        result.bytes = std::move(whole.bytes);
        return std::move(result);
    };
    int code = 0;
    const int fd = openForReading(path, &code);
    if (fd < 0)
        return readWhole();
    const FdCloser closer{fd};
    LARGE_INTEGER size{};
    if (GetFileType(HandleOf(fd)) != FILE_TYPE_DISK || !GetFileSizeEx(HandleOf(fd), &size) ||
        static_cast<std::uint64_t>(size.QuadPart) > maxBytes)
        return readWhole();

    const auto known = static_cast<std::size_t>(size.QuadPart);
    AsciiWidener widener(room(2 * known));
    std::vector<char> piece(kTextFilePiece);
    std::size_t total = 0;
    for (;;) {
        const int got = readSome(fd, piece.data(), piece.size());
        if (got < 0)
            return readWhole();
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
        if (total > known ||
            !widener.feed(std::string_view(piece.data(), static_cast<std::size_t>(got))))
            return readWhole();
    }
    result.widened = true;
    result.length = widener.size();
    result.longest = widener.longestLine();
    result.containsNul = widener.containsNul();
    return result;
}

struct InputStream::State {
    static constexpr std::size_t kPiece = std::size_t{1} << 20;

    ~State() {
        if (fd > 0)
            _close(fd);
        if (spool >= 0)
            _close(spool);
    }

    IoError reason(int code) const { return IoError{name, code, name + ": " + ErrorText(code)}; }
    IoError cannotKeep(int code) const {
        return IoError{name, code,
                       "cannot keep " + name + " for the second pass: " + ErrorText(code)};
    }

    // A temporary file that holds what a pipe gave, for the second reading; the system
    // deletes it when it is closed, however the program ends.
    std::optional<IoError> openSpool() {
        wchar_t folder[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
        wchar_t path[MAX_PATH + 1];
        if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"tw", 0, path) == 0)
            return cannotKeep(LastErrno());
        HANDLE handle = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                    CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const int code = LastErrno();
            DeleteFileW(path);
            return cannotKeep(code);
        }
        spool = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
        if (spool < 0) {
            CloseHandle(handle);
            return cannotKeep(EMFILE);
        }
        return std::nullopt;
    }

    std::optional<IoError> readFrom(int from, bool keep,
                                    const std::function<bool(std::string_view, bool)>& use) {
        buffer.resize(kPiece);
        for (;;) {
            const int got = readSome(from, buffer.data(), buffer.size());
            if (got < 0)
                return reason(errno);
            const std::string_view piece(buffer.data(), static_cast<std::size_t>(got));
            if (keep)
                if (const int code = WriteAll(spool, piece))
                    return cannotKeep(code);
            if (!use(piece, got == 0) || got == 0)
                return std::nullopt;
        }
    }

    std::string name;
    int fd = -1;
    int spool = -1;
    long long start = -1;
    bool seekable = false;
    int readings = 0;
    std::vector<char> buffer;
};

InputStream::InputStream() : m_state(std::make_unique<State>()) {}
InputStream::~InputStream() = default;

const std::string& InputStream::name() const {
    return m_state->name;
}

bool InputStream::seekable() const {
    return m_state->seekable;
}

std::optional<IoError> InputStream::open(const std::string& name) {
    State& s = *m_state;
    s.name = name == "-" ? "standard input" : name;
    if (name == "-") {
        s.fd = 0;
        // Binary: text mode would drop every CR before an LF and stop at the first 0x1A.
        _setmode(0, _O_BINARY);
        if (HandleOf(0) == INVALID_HANDLE_VALUE)
            return s.reason(EBADF);
    } else {
        int code = 0;
        s.fd = openForReading(std::filesystem::path(windows::Widen(name)), &code);
        if (s.fd < 0)
            return s.reason(code);
    }
    // Standard input may stand past the file's start: every reading starts where it stood.
    s.start = GetFileType(HandleOf(s.fd)) == FILE_TYPE_DISK ? _lseeki64(s.fd, 0, SEEK_CUR) : -1;
    s.seekable = s.start >= 0;
    return std::nullopt;
}

std::optional<IoError> InputStream::read(const std::function<bool(std::string_view, bool)>& use) {
    State& s = *m_state;
    if (s.readings++ == 0) {
        const bool keep = !s.seekable;
        if (keep)
            if (auto error = s.openSpool())
                return error;
        return s.readFrom(s.fd, keep, use);
    }
    const int from = s.spool >= 0 ? s.spool : s.fd;
    if (_lseeki64(from, s.spool >= 0 ? 0 : s.start, SEEK_SET) < 0)
        return s.reason(errno);
    return s.readFrom(from, false, use);
}

} // namespace tarnwick::platform
