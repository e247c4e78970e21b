#include "platform/memory.h"

namespace tarnwick::platform {

// Large pages on Windows need a privilege few users hold: no hint to give.
void AdviseHugePages(const void*, std::size_t) {}

// Pages are mapped as they are first touched.
void PopulateWritable(const void*, std::size_t) {}

} // namespace tarnwick::platform
