#include "common/hugepages.h"

#include <cstdint>
#include <sys/mman.h>

namespace halyx {

void AdviseHugePages(const void* data, size_t bytes) {
    const auto begin = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (begin + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const uintptr_t last = (begin + bytes) / kHugePageBytes * kHugePageBytes;
    if (data == nullptr || last <= first) {
        return;
    }
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace halyx
