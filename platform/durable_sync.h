#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace tarnwick::platform {

/// Makes a file durable while it is still being written: a thread of its own syncs it each
/// time a few more MiB have been written, so the disk's flush runs beside the work that
/// makes the bytes and the final fsync finds little left. The first failure is kept and
/// must fail the file: after a failed sync the kernel need not report it a second time.
class DurableWhileWritten {
public:
    DurableWhileWritten(int fd, int (*datasync)(int fd), std::uint64_t step);
    ~DurableWhileWritten(); ///< stops and waits for a sync under way
    DurableWhileWritten(const DurableWhileWritten&) = delete;
    DurableWhileWritten& operator=(const DurableWhileWritten&) = delete;

    /// `total` bytes are in the file now.
    void written(std::uint64_t total);
    /// Stops, and returns the errno value of the first failed sync, or 0.
    int finish();

private:
    void run();

    const int m_fd;
    int (*const m_datasync)(int fd);
    const std::uint64_t m_step;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::uint64_t m_written = 0; ///< guarded by m_mutex, as are the two below
    bool m_stop = false;
    int m_error = 0;
    std::thread m_thread; ///< none when the system had none to give
};

} // namespace tarnwick::platform
