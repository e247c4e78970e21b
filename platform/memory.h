#pragma once

#include <cstddef>

namespace tarnwick::platform {

/// Asks the kernel to back a large, freshly reserved buffer with huge pages before it is
/// first touched. Page faults dominate filling hundreds of megabytes otherwise. A hint only:
/// does nothing for small buffers or where the system declines.
void AdviseHugePages(const void* data, std::size_t size);

/// Maps a buffer's pages in one call before it is filled, where the system can: one call
/// costs far less than a page fault for each page. A hint only.
void PopulateWritable(const void* data, std::size_t size);

} // namespace tarnwick::platform
