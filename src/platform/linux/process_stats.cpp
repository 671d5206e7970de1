#include "platform/process_stats.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace platform {

std::optional<std::chrono::milliseconds> timeSinceProcessStart()
{
    std::ifstream in("/proc/self/stat");
    std::string text;
    if (!std::getline(in, text))
        return std::nullopt;
    // The command name may hold blanks and parentheses: count fields after the last ')'.
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Field 22 of the whole line (start time in clock ticks since boot) is the 20th here.
    for (int i = 0; i < 20 && fields >> field; ++i) {
    }
    unsigned long long startTicks = 0;
    try {
        startTicks = std::stoull(field);
    } catch (...) {
        return std::nullopt;
    }
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    timespec now{};
    if (ticksPerSecond <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return std::nullopt;
    const long long nowMs = static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
    const long long startMs = static_cast<long long>(startTicks) * 1000 / ticksPerSecond;
    return std::chrono::milliseconds(std::max(0LL, nowMs - startMs));
}

std::optional<std::size_t> residentMemoryBytes()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) != 0)
            continue;
        std::istringstream value(line.substr(6));
        std::size_t kilobytes = 0;
        if (value >> kilobytes)
            return kilobytes * 1024;
    }
    return std::nullopt;
}

} // namespace platform
