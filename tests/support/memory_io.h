#pragma once

// An input and an output in memory for the driver, each able to fail once where a test
// says: a reader whose Nth reading fails after some pieces, a target whose write or commit
// fails.

#include "engine/source.h"
#include "platform/byte_sink.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick::test {

/// Bytes read in pieces of `piece`, from the start at every reading (one per pass).
class StringReader final : public ByteReader {
public:
    explicit StringReader(std::string bytes, std::size_t piece = 1 << 20)
        : m_bytes(std::move(bytes)), m_piece(piece) {}

    /// Reading number `reading` (1: the first pass) fails with EIO after `pieces` pieces.
    void failAt(int reading, std::size_t pieces = 0) {
        m_failReading = reading;
        m_failAfter = pieces;
    }

    bool read(const Use& use) override {
        ++m_readings;
        std::size_t handed = 0;
        for (std::size_t at = 0;; at += m_piece) {
            if (m_readings == m_failReading && handed == m_failAfter) {
                m_error = platform::IoError{"in.txt", EIO, "in.txt: Input/output error"};
                return false;
            }
            // Each piece ends where its buffer does, and the buffer is used again, as a
            // file's is: a reader that looks past a piece, or back at an earlier one, reads
            // what the sanitizers see.
            const std::string_view whole =
                at < m_bytes.size() ? std::string_view(m_bytes).substr(at, m_piece) : "";
            if (!m_buffer)
                m_buffer = std::make_unique<char[]>(m_piece);
            char* const start = m_buffer.get() + (m_piece - whole.size());
            std::copy(whole.begin(), whole.end(), start);
            const std::string_view piece(start, whole.size());
            ++handed;
            const bool last = at + m_piece >= m_bytes.size();
            if (!use(piece, last && piece.empty()) || piece.empty())
                return true;
        }
    }
    const platform::IoError& error() const override { return m_error; }
    int readings() const { return m_readings; }

private:
    std::string m_bytes;
    std::size_t m_piece;
    std::unique_ptr<char[]> m_buffer;
    int m_readings = 0;
    int m_failReading = 0;
    std::size_t m_failAfter = 0;
    platform::IoError m_error;
};

/// Keeps what was written, and makes it the output only on commit.
class StringTarget final : public platform::ByteTarget {
public:
    /// The write that fails (1: the first), or commit itself with `failCommit`.
    void failAt(int write) { m_failWrite = write; }
    void failCommit() { m_failCommit = true; }

    bool open() override {
        m_opened = true;
        return true;
    }
    void write(std::string_view bytes) override {
        if (m_error.code != 0)
            return;
        if (++m_writes == m_failWrite) {
            m_error = platform::IoError{"out", ENOSPC, "out: No space left on device"};
            return;
        }
        m_pending.append(bytes);
    }
    bool failed() const override { return m_error.code != 0; }
    bool commit() override {
        if (m_failCommit && m_error.code == 0)
            m_error = platform::IoError{"out", EIO, "out: Input/output error"};
        if (m_error.code != 0)
            return false;
        m_committed = std::move(m_pending);
        m_pending.clear();
        m_done = true;
        return true;
    }
    const platform::IoError& error() const override { return m_error; }

    bool opened() const { return m_opened; }
    bool committed() const { return m_done; }
    /// The writes made, the failing one included; none after it.
    int writes() const { return m_writes; }
    /// The output, once committed.
    const std::string& bytes() const { return m_committed; }

private:
    std::string m_pending;
    std::string m_committed;
    int m_writes = 0;
    int m_failWrite = 0;
    bool m_failCommit = false;
    bool m_opened = false;
    bool m_done = false;
    platform::IoError m_error;
};

} // namespace tarnwick::test
