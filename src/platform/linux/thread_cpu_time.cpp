#include "platform/thread_cpu_time.h"

#include <time.h>

namespace platform {

std::chrono::nanoseconds threadCpuTime()
{
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0)
        return std::chrono::nanoseconds::zero();
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace platform
