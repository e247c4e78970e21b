#pragma once

#include <cstddef>

namespace tarnwick::platform {

/// Asks the kernel to back a large, freshly reserved buffer with huge pages before it is
/// first touched. Page faults dominate filling hundreds of megabytes otherwise. A hint only:
/// does nothing for small buffers or where the system declines.
void AdviseHugePages(const void* data, std::size_t size);

} // namespace tarnwick::platform
