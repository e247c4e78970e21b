#pragma once

// Where the command line writes: a file it replaces, or a descriptor the shell opened.
// The names are parsed once (streams.cpp); each system tells files apart and writes
// descriptors in its own folder (posix/, windows/).

#include "byte_sink.h"

#include <string>

namespace tarnwick::platform {

/// The descriptor that an output name stands for: "-", /dev/stdout, /dev/stderr, /dev/fd/N
/// and /proc/self/fd/N (or our own pid) name one the shell opened. Replacing what such a name
/// links to would throw away a log the shell appends to. -1 for any other name.
int OutputDescriptor(const std::string& name);

/// True when writing `name` replaces a file or makes a new one: not a device, pipe or
/// descriptor, which are written where they stand.
bool IsFileOutput(const std::string& name);

/// True when the output `output` names the regular file `input`, by any name (a link, a hard
/// link, a descriptor the shell opened on it).
bool SameFile(const std::string& input, const std::string& output);

/// A descriptor the shell opened (standard output, /dev/fd/N) as a target: written where it
/// stands, appending when it was opened so; commit only reports a failed write.
class DescriptorTarget final : public ByteTarget {
public:
    /// `name` names it in errors.
    DescriptorTarget(int fd, std::string name);
    bool open() override;
    void write(std::string_view bytes) override;
    bool failed() const override { return m_error.code != 0; }
    bool commit() override { return !failed(); }
    const IoError& error() const override { return m_error; }

private:
    int m_fd;
    std::string m_name;
    IoError m_error;
};

} // namespace tarnwick::platform
