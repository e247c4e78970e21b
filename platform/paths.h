#pragma once

#include <filesystem>

namespace tarnwick::platform {

/// Where writing to `path` really lands: symbolic links followed to the end, even to a file
/// that does not exist yet. A loop of links is returned as it stands.
std::filesystem::path ResolveLinks(const std::filesystem::path& path);

} // namespace tarnwick::platform
