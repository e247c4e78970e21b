#include "atomic_file.h"

#include "durable_sync.h"
#include "paths.h"
#include "signal_cleanup.h"
#include "temporary_file.h"

#include <atomic>
#include <cerrno>
#include <random>
#include <system_error>

namespace tarnwick::platform {

namespace {

using system::Guard;
using system::TargetKind;

std::filesystem::path folderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// A name beside the target that no other writer, in this process or another, makes.
std::filesystem::path temporarySibling(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    std::filesystem::path name = ".";
    name += target.filename();
    name += ".tmp-" + std::to_string(system::ProcessId()) + '-' + std::to_string(salt) + '-' +
            std::to_string(counter++);
    return target.parent_path() / name;
}

} // namespace

int WriteAll(int fd, std::string_view bytes, const FileCalls& calls) {
    while (!bytes.empty()) {
        const std::ptrdiff_t put = calls.write(fd, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (put == 0)
            return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return 0;
}

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target, FileCalls calls)
    : m_given(target), m_target(ResolveLinks(target)), m_calls(calls) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (!m_committed)
        discard();
}

void AtomicFileWriter::fail(const std::filesystem::path& path, int code, std::string reason) {
    if (m_failed)
        return;
    m_failed = true;
    m_error = MakeIoError(path, code);
    if (!reason.empty())
        m_error.reason = std::move(reason);
    discard();
}

void AtomicFileWriter::write(std::string_view bytes) {
    if (m_failed || m_fd < 0)
        return;
    // Large pieces go straight out: copied into the buffer they would only cost page faults.
    if (m_buffer.size() + bytes.size() > kBufferSize || bytes.size() >= kDirectSize) {
        flushBuffer();
        if (m_failed)
            return;
        if (bytes.size() >= kDirectSize) {
            writeOut(bytes);
            return;
        }
    }
    m_buffer.append(bytes);
}

void AtomicFileWriter::flushBuffer() {
    if (m_buffer.empty())
        return;
    writeOut(m_buffer);
    if (!m_failed)
        m_buffer.clear();
}

void AtomicFileWriter::writeOut(std::string_view bytes) {
    if (const int code = WriteAll(m_fd, bytes, m_calls)) {
        fail(m_target, code);
        return;
    }
    m_written += bytes.size();
    if (m_inPlace)
        return;
    if (!m_syncer && m_written >= kSyncStep)
        m_syncer = std::make_unique<DurableWhileWritten>(m_fd, m_calls.datasync, kSyncStep);
    if (m_syncer)
        m_syncer->written(m_written);
}

void AtomicFileWriter::nameTemporary(std::filesystem::path path) {
    ForgetTemporary(m_signalSlot);
    m_signalSlot = path.empty() ? -1 : RemoveOnSignal(system::Utf8(path).c_str());
    m_tempPath = std::move(path);
}

void AtomicFileWriter::discard() {
    m_syncer.reset(); // no sync may reach the descriptor once it is closed
    if (m_fd >= 0) {
        m_calls.close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        system::Remove(m_tempPath);
        nameTemporary({});
    }
    m_buffer.clear();
}

bool AtomicFileWriter::openInPlace() {
    m_fd = system::OpenInPlace(m_given);
    if (m_fd < 0) {
        fail(m_given, errno);
        return false;
    }
    m_inPlace = true;
    m_buffer.reserve(kBufferSize);
    return true;
}

bool AtomicFileWriter::open() {
    const std::filesystem::path folder = folderOf(m_target);
    // Devices and pipes are written into, never replaced: /dev/null must stay a device.
    // Asked of the name as given, so /dev/stdout reaches the pipe behind /proc/self/fd.
    const system::Target given = system::Inspect(m_given);
    if (given.kind == TargetKind::Socket) {
        fail(m_given, ENXIO, "is a socket, not a file");
        return false;
    }
    if (given.kind == TargetKind::Device)
        return openInPlace();

    const system::Target target = system::Inspect(m_target);
    if (target.kind == TargetKind::Directory) {
        fail(m_target, EISDIR);
        return false;
    }
    const bool replacing = target.kind == TargetKind::Regular;
    if (m_createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            fail(folder, ec.value());
            return false;
        }
    }
    // A file nobody may write to says "keep me"; the rename at commit would not ask.
    if (replacing && target.readOnly) {
        fail(m_target, EACCES);
        return false;
    }

    m_fd = system::OpenUnnamed(folder, m_calls);
    m_guard = Guard::NoName;
    if (m_fd < 0) {
        // Listed before it exists, so no moment has it unlisted.
        nameTemporary(temporarySibling(m_target));
        m_fd = system::CreateNamed(m_tempPath, target, m_guard);
        if (m_fd < 0) {
            const int code = errno;
            nameTemporary({});
            fail(folder, code);
            return false;
        }
    }
    if (replacing) {
        if (const int code = system::TakeOver(m_fd, target)) {
            fail(m_target, code);
            return false;
        }
    }
    m_buffer.reserve(kBufferSize);
    return true;
}

bool AtomicFileWriter::linkUnnamed() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path name = temporarySibling(m_target);
        nameTemporary(name); // listed before it exists, so no moment has it unlisted
        const int code = system::LinkUnnamed(m_fd, name);
        if (code == 0)
            return true;
        nameTemporary({}); // nothing was linked: no name to remove
        if (code != EEXIST) {
            fail(m_target, code);
            return false;
        }
    }
    fail(m_target, EEXIST);
    return false;
}

bool AtomicFileWriter::keepTemporary() {
    switch (m_guard) {
    case Guard::Named:
        return true;
    case Guard::NoName:
        return linkUnnamed();
    case Guard::Marked:
        break;
    }
    if (const int code = system::Unmark(m_fd)) {
        fail(m_target, code);
        return false;
    }
    return true;
}

bool AtomicFileWriter::commitInPlace() {
    if (!system::SyncInPlace(m_fd, m_calls)) {
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

bool AtomicFileWriter::commit() {
    if (m_failed || m_fd < 0) {
        if (!m_failed)
            fail(m_target, EBADF);
        return false;
    }
    flushBuffer();
    if (m_failed)
        return false;
    if (m_inPlace)
        return commitInPlace();
    if (m_syncer) {
        const int code = m_syncer->finish();
        m_syncer.reset();
        if (code != 0) {
            fail(m_target, code);
            return false;
        }
    }
    // The data must be on disk before the rename makes it the file: otherwise a power cut
    // can leave an empty file where a good one was.
    if (m_calls.fsync(m_fd) != 0) {
        fail(m_target, errno);
        return false;
    }
    if (!keepTemporary())
        return false;
    const int fd = m_fd;
    m_fd = -1;
    if (m_calls.close(fd) != 0) {
        fail(m_target, errno);
        return false;
    }
    if (m_calls.rename(system::Utf8(m_tempPath).c_str(), system::Utf8(m_target).c_str()) != 0) {
        fail(m_target, errno);
        return false;
    }
    nameTemporary({}); // renamed: nothing left to remove
    m_committed = true;
    // The rename itself reaches the disk with the folder.
    system::SyncFolder(folderOf(m_target), m_calls);
    return true;
}

} // namespace tarnwick::platform
