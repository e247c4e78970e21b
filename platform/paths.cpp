#include "paths.h"

#include <system_error>

namespace tarnwick::platform {

std::filesystem::path ResolveLinks(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hops = 0; hops < 40; ++hops) { // the kernel's own limit on nested links
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, ec)))
            return current;
        const std::filesystem::path link = std::filesystem::read_symlink(current, ec);
        if (ec)
            return current;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return path;
}

} // namespace tarnwick::platform
