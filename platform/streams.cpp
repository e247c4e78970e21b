#include "streams.h"

#include "atomic_file.h"
#include "system_file.h"

#include <charconv>
#include <string_view>

namespace tarnwick::platform {

int OutputDescriptor(const std::string& name) {
    if (name == "-" || name == "/dev/stdout")
        return 1;
    if (name == "/dev/stderr")
        return 2;
    for (const std::string& folder : system::DescriptorFolders()) {
        std::string_view rest(name);
        if (rest.substr(0, folder.size()) != folder)
            continue;
        rest.remove_prefix(folder.size());
        int fd = -1;
        if (rest.empty() || std::from_chars(rest.data(), rest.data() + rest.size(), fd).ptr !=
                                rest.data() + rest.size())
            return -1;
        return fd;
    }
    return -1;
}

DescriptorTarget::DescriptorTarget(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}

void DescriptorTarget::write(std::string_view bytes) {
    if (failed())
        return;
    if (const int code = WriteAll(m_fd, bytes))
        m_error = MakeIoError(m_name, code);
}

} // namespace tarnwick::platform
