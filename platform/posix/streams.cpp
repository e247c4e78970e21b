#include "platform/streams.h"

#include "platform/system_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace tarnwick::platform {

namespace system {

std::vector<std::string> DescriptorFolders() {
    return {"/dev/fd/", "/proc/self/fd/", "/proc/" + std::to_string(::getpid()) + "/fd/"};
}

} // namespace system

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

bool DescriptorTarget::open() {
    if (::fcntl(m_fd, F_GETFL) < 0)
        m_error = MakeIoError(m_name, errno);
    return !failed();
}

} // namespace tarnwick::platform
