#pragma once

#include "io_error.h"

#include <string_view>

namespace tarnwick::platform {

/// Where written bytes go, in chunks of up to a few hundred kilobytes.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
    /// True once a write has failed; a writer then stops early.
    virtual bool failed() const { return false; }
};

/// A sink that is opened only once there is something worth writing, and that keeps what was
/// written only on commit(): a file replaced atomically, or a descriptor the shell opened.
class ByteTarget : public ByteSink {
public:
    /// False when it cannot be written (see error()).
    virtual bool open() = 0;
    /// Makes what was written the output. False on failure (see error()).
    virtual bool commit() = 0;
    virtual const IoError& error() const = 0;
};

} // namespace tarnwick::platform
