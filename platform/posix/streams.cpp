#include "platform/streams.h"

#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>

namespace tarnwick::platform {

int OutputDescriptor(const std::string& name) {
    if (name == "-" || name == "/dev/stdout")
        return 1;
    if (name == "/dev/stderr")
        return 2;
    std::string_view rest(name);
    const std::string ownProc = "/proc/" + std::to_string(::getpid()) + "/fd/";
    bool named = false;
    for (std::string_view prefix : {std::string_view("/dev/fd/"),
                                    std::string_view("/proc/self/fd/"), std::string_view(ownProc)})
        if (rest.substr(0, prefix.size()) == prefix) {
            rest.remove_prefix(prefix.size());
            named = true;
            break;
        }
    int fd = -1;
    if (!named || rest.empty() ||
        std::from_chars(rest.data(), rest.data() + rest.size(), fd).ptr !=
            rest.data() + rest.size())
        return -1;
    return fd;
}

bool IsFileOutput(const std::string& name) {
    if (OutputDescriptor(name) >= 0)
        return false;
    struct stat st {};
    return ::stat(name.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

bool SameFile(const std::string& input, const std::string& output) {
    const int descriptor = OutputDescriptor(output);
    struct stat in {};
    struct stat out {};
    const bool outputKnown =
        descriptor >= 0 ? ::fstat(descriptor, &out) == 0 : ::stat(output.c_str(), &out) == 0;
    return outputKnown && ::stat(input.c_str(), &in) == 0 && S_ISREG(out.st_mode) &&
           in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

DescriptorTarget::DescriptorTarget(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}

bool DescriptorTarget::open() {
    if (::fcntl(m_fd, F_GETFL) < 0)
        m_error = MakeIoError(m_name, errno);
    return !failed();
}

void DescriptorTarget::write(std::string_view bytes) {
    if (failed())
        return;
    if (const int code = WriteAll(m_fd, bytes))
        m_error = MakeIoError(m_name, code);
}

} // namespace tarnwick::platform
