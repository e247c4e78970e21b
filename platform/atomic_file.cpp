#include "atomic_file.h"

#include "durable_sync.h"
#include "paths.h"

#include <cerrno>

namespace tarnwick::platform {

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
    if (!renameIntoPlace()) {
        fail(m_target, errno);
        return false;
    }
    nameTemporary({}); // renamed: nothing left to remove
    m_committed = true;
    syncFolder();
    return true;
}

} // namespace tarnwick::platform
