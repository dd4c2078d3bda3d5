#pragma once

#include <cstddef>

namespace halyx {

// The size of a huge page where the system has them.
inline constexpr size_t kHugePageBytes = size_t{2} << 20;

// Asks the system to back the whole huge pages within [data, data + bytes) with huge pages
// when they are first written. Filling hundreds of megabytes of fresh memory page by page costs
// more than the work done in it (a log of a million events is read into about that much); with
// huge pages it is one step per 2 MB. Only a hint: where the system declines, nothing changes.
// For large buffers only (a smaller one has no whole huge page in it).
void AdviseHugePages(const void* data, size_t bytes);

} // namespace halyx
