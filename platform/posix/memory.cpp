#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace tarnwick::platform {

void AdviseHugePages(const void* data, std::size_t size) {
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (size < 4 * kHuge)
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t last = (begin + size) & ~(kHuge - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void PopulateWritable(const void* data, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    constexpr std::uintptr_t kPage = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kPage - 1);
    if (end > begin)
        (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

} // namespace tarnwick::platform
