#include "read_file.h"

#include "atomic_file.h"
#include "console.h"
#include "memory.h"
#include "system_file.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tarnwick::platform {

namespace {

using system::FileKind;

struct FdCloser {
    int fd;
    ~FdCloser() { system::CloseFile(fd); }
};

// Reads a file one piece ahead, on a thread of its own: the system's copy of the next piece
// runs beside the caller's work on this one. For regular files only, whose reads always
// end: a pipe's read could hold the thread past the caller's stop.
class ReadAhead {
public:
    ReadAhead(int fd, std::size_t piece)
        : m_fd(fd), m_piece(piece), m_buffers{std::make_unique_for_overwrite<char[]>(piece),
                                              std::make_unique_for_overwrite<char[]>(piece)} {
        PopulateWritable(m_buffers[0].get(), piece);
        PopulateWritable(m_buffers[1].get(), piece);
        try {
            m_thread = std::thread(&ReadAhead::run, this);
        } catch (const std::system_error&) {
            // No thread to be had: next() reads each piece itself.
        }
    }
    ~ReadAhead() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    /// The next piece: its bytes stay as they are until the following call. `got` is its
    /// length, 0 at the end, or -1 with errno set.
    const char* next(std::ptrdiff_t& got) {
        if (!m_thread.joinable()) {
            char* const into = m_buffers[0].get();
            got = system::ReadSome(m_fd, into, m_piece);
            return into;
        }
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_read; });
        const int taken = m_filling;
        got = m_got;
        m_read = false;
        if (got > 0) { // the one after goes into the other buffer while this one is used
            m_filling = 1 - taken;
            m_wanted = true;
            lock.unlock();
            m_wake.notify_all();
        } else if (got < 0) {
            errno = m_error;
        }
        return m_buffers[taken].get();
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_wanted; });
            if (m_stop)
                return;
            m_wanted = false;
            char* into = m_buffers[m_filling].get();
            lock.unlock();
            const std::ptrdiff_t got = system::ReadSome(m_fd, into, m_piece);
            const int error = got < 0 ? errno : 0;
            lock.lock();
            m_got = got;
            m_error = error;
            m_read = true;
            m_wake.notify_all();
        }
    }

    const int m_fd;
    const std::size_t m_piece;
    std::unique_ptr<char[]> m_buffers[2];
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_filling = 0;    ///< the buffer being read into; guarded by m_mutex, as are all below
    bool m_wanted = true; ///< a read into m_filling is asked for
    bool m_read = false;  ///< it is done: m_got and m_error tell how it went
    bool m_stop = false;
    std::ptrdiff_t m_got = 0;
    int m_error = 0;
    std::thread m_thread;
};

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

    const system::OpenFile file = system::OpenForReading(path, true);
    if (file.fd < 0)
        return failWith(file.error, ReadResult::Status::Failed);
    const FdCloser closer{file.fd};
    if (file.kind == FileKind::Directory)
        return failWith(EISDIR, ReadResult::Status::Failed);
    if (file.kind == FileKind::Pipe)
        return failWith(EINVAL, ReadResult::Status::NotAFile);
    const bool regular = file.kind == FileKind::Regular;
    if (regular && file.size > maxBytes)
        return failWith(EFBIG, ReadResult::Status::TooLarge);

    // One byte beyond the known size lets the read that finds the end land without a
    // reallocation; read until end of file rather than trusting the size, which may change.
    const std::uint64_t limit = maxBytes + 1;
    const std::uint64_t initial = regular ? file.size + 1 : 65536;
    const auto initialSize = static_cast<std::size_t>(std::min(initial, limit));
    result.bytes.reserve(initialSize);
    AdviseHugePages(result.bytes.data(), initialSize);
    result.bytes.resize(initialSize);
    std::size_t filled = 0;
    for (;;) {
        if (filled == result.bytes.size()) {
            if (filled >= limit)
                return failWith(EFBIG, ReadResult::Status::TooLarge);
            const std::uint64_t grown = std::max<std::uint64_t>(2 * std::uint64_t{filled}, 65536);
            result.bytes.resize(static_cast<std::size_t>(std::min(grown, limit)));
        }
        const std::ptrdiff_t got =
            system::ReadSome(file.fd, result.bytes.data() + filled, result.bytes.size() - filled);
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

bool ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::size_t piece,
                     const std::function<void(std::uint64_t size)>& begin,
                     const std::function<bool(std::string_view bytes)>& feed) {
    const system::OpenFile file = system::OpenForReading(path, true);
    if (file.fd < 0)
        return false;
    const FdCloser closer{file.fd};
    if (file.kind != FileKind::Regular || file.size > maxBytes)
        return false;
    begin(file.size);
    const auto buffer = std::make_unique_for_overwrite<char[]>(piece);
    std::uint64_t total = 0;
    for (;;) {
        const std::ptrdiff_t got = system::ReadSome(file.fd, buffer.get(), piece);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        total += static_cast<std::uint64_t>(got);
        // A file that grew while read is not the file of that size.
        if (total > file.size ||
            !feed(std::string_view(buffer.get(), static_cast<std::size_t>(got))))
            return false;
    }
}

struct InputStream::State {
    // The bytes one read hands on: large enough that a read costs little, and the first
    // piece, which decides the encoding, holds what a header or comment brings.
    static constexpr std::size_t kInputPiece = std::size_t{1} << 20;

    ~State() {
        if (fd > 0)
            system::CloseFile(fd);
        if (spool >= 0)
            system::CloseFile(spool);
    }

    IoError reason(int code) const { return IoError{name, code, name + ": " + ErrorText(code)}; }
    IoError cannotKeep(int code) const {
        return IoError{name, code,
                       "cannot keep " + name + " for the second pass: " + ErrorText(code)};
    }

    std::optional<IoError> readFrom(int from, bool keep,
                                    const std::function<bool(std::string_view, bool)>& use) {
        if (!keep) { // a regular file: the file itself or the spool
            ReadAhead ahead(from, kInputPiece);
            for (;;) {
                std::ptrdiff_t got = 0;
                const char* data = ahead.next(got);
                if (got < 0)
                    return reason(errno);
                if (!use(std::string_view(data, static_cast<std::size_t>(got)), got == 0) ||
                    got == 0)
                    return std::nullopt;
            }
        }
        buffer.resize(kInputPiece);
        for (;;) {
            const std::ptrdiff_t got = system::ReadSome(from, buffer.data(), buffer.size());
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
    int spool = -1; ///< what a pipe gave, kept for the second reading
    std::int64_t start = -1;
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
    const system::OpenFile file =
        name == "-" ? system::OpenStandardInput() : system::OpenForReading(PathOfName(name), false);
    s.fd = file.fd;
    if (file.fd < 0)
        return s.reason(file.error);
    if (file.kind == FileKind::Directory)
        return s.reason(EISDIR);
    // Standard input may stand past the file's start (a shell that read a line first):
    // every reading starts where it stood.
    s.start = file.kind == FileKind::Regular ? system::Offset(s.fd) : -1;
    s.seekable = s.start >= 0;
    return std::nullopt;
}

std::optional<IoError> InputStream::read(const std::function<bool(std::string_view, bool)>& use) {
    State& s = *m_state;
    if (s.readings++ == 0) {
        const bool keep = !s.seekable;
        if (keep) {
            int code = 0;
            s.spool = system::OpenSpool(code);
            if (s.spool < 0)
                return s.cannotKeep(code);
        }
        return s.readFrom(s.fd, keep, use);
    }
    const int from = s.spool >= 0 ? s.spool : s.fd;
    if (!system::SeekTo(from, s.spool >= 0 ? 0 : s.start))
        return s.reason(errno);
    return s.readFrom(from, false, use);
}

} // namespace tarnwick::platform
