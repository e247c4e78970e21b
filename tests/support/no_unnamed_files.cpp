// Preloaded into a program under test, makes every O_TMPFILE open fail as on a file system
// without unnamed files (vfat, many network and FUSE file systems), so the named fallback
// can be tried on any machine.

#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

namespace {

using OpenFn = int (*)(const char*, int, ...);

int forward(const char* path, int flags, mode_t mode) {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    static const auto real = reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, "open"));
    return real(path, flags, mode);
}

mode_t modeOf(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

} // namespace

extern "C" int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return forward(path, flags, mode);
}

// glibc's open64 is the same function as open on 64-bit systems: one interposer serves both.
extern "C" int open64(const char* path, int flags, ...) __attribute__((alias("open")));
