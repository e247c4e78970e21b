#include "durable_sync.h"

#include <cerrno>
#include <system_error>

namespace tarnwick::platform {

DurableWhileWritten::DurableWhileWritten(int fd, int (*datasync)(int fd), std::uint64_t step)
    : m_fd(fd), m_datasync(datasync), m_step(step) {
    try {
        m_thread = std::thread(&DurableWhileWritten::run, this);
    } catch (const std::system_error&) {
        // No thread to be had: the final fsync alone makes the file durable, only later.
    }
}

DurableWhileWritten::~DurableWhileWritten() {
    (void)finish();
}

void DurableWhileWritten::written(std::uint64_t total) {
    {
        const std::lock_guard lock(m_mutex);
        m_written = total;
    }
    m_wake.notify_one();
}

int DurableWhileWritten::finish() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    return m_error;
}

void DurableWhileWritten::run() {
    std::uint64_t synced = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || m_written - synced >= m_step; });
        if (m_stop || m_error != 0)
            return;
        const std::uint64_t upTo = m_written;
        lock.unlock();
        int code = 0;
        while (m_datasync(m_fd) != 0) {
            if (errno != EINTR) {
                code = errno;
                break;
            }
        }
        lock.lock();
        m_error = code;
        synced = upTo;
    }
}

} // namespace tarnwick::platform
