#include "platform/process_memory.h"

#include <malloc.h>

namespace platform {
namespace {

// Frames and decoded images are larger: they are mapped for themselves and unmapped when
// freed. glibc would otherwise raise the limit to the largest block freed, and the next
// frame of that size would come from the heap and stay resident after it is gone.
constexpr int kMappedBlockBytes = 1024 * 1024;
// glibc gives every thread that allocates a heap of its own (up to eight per core), each
// keeping its free pages; the UI and device threads hardly contend for one.
constexpr int kHeaps = 2;

} // namespace

void configureProcessHeap()
{
    mallopt(M_MMAP_THRESHOLD, kMappedBlockBytes);
    mallopt(M_ARENA_MAX, kHeaps);
}

void releaseFreeHeap()
{
    malloc_trim(0);
}

} // namespace platform
