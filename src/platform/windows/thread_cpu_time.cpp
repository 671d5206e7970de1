#include "platform/thread_cpu_time.h"

#include <windows.h>

namespace platform {
namespace {

std::chrono::nanoseconds fromFileTime(const FILETIME& time)
{
    const auto ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return std::chrono::nanoseconds(ticks * 100); // FILETIME counts 100 ns
}

} // namespace

std::chrono::nanoseconds threadCpuTime()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user))
        return std::chrono::nanoseconds::zero();
    return fromFileTime(kernel) + fromFileTime(user);
}

} // namespace platform
