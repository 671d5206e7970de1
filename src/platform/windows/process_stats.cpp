#include "platform/process_stats.h"

#include <windows.h>
// psapi.h needs the types of windows.h first.
#include <psapi.h>

namespace platform {

std::optional<std::chrono::milliseconds> timeSinceProcessStart()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user))
        return std::nullopt;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto toTicks = [](const FILETIME& time) {
        return (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    const std::int64_t elapsed = toTicks(now) - toTicks(created);
    return std::chrono::milliseconds(elapsed > 0 ? elapsed / 10'000 : 0);
}

std::optional<std::size_t> residentMemoryBytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return std::nullopt;
    return counters.WorkingSetSize;
}

} // namespace platform
