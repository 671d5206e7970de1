#include "platform/debug_output.h"

#include "platform/system_debug_output.h"
#include "platform/text.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

namespace platform {
namespace {

struct DebugRing {
    std::mutex lock;
    std::deque<std::wstring> lines;
};

DebugRing& ring()
{
    static DebugRing instance;
    return instance;
}

std::atomic<bool>& echoToStderr()
{
    static std::atomic<bool> enabled = [] {
        const char* value = std::getenv("HALVEK_DEBUG");
        return value != nullptr && std::string_view(value) == "1";
    }();
    return enabled;
}

} // namespace

void debugOutput(std::wstring_view line)
{
    if (echoToStderr()) {
        const std::string utf8 = toUtf8(line);
        std::fprintf(stderr, "%s\n", utf8.c_str());
    }
    systemDebugOutput(line);
    auto& r = ring();
    std::lock_guard guard(r.lock);
    if (r.lines.size() == kDebugRingSize)
        r.lines.pop_front();
    r.lines.emplace_back(line);
}

void debugOutput(std::string_view utf8Line)
{
    debugOutput(fromUtf8(utf8Line));
}

void echoDebugOutput()
{
    echoToStderr() = true;
}

std::vector<std::wstring> debugLines()
{
    auto& r = ring();
    std::lock_guard guard(r.lock);
    return {r.lines.begin(), r.lines.end()};
}

void clearDebugLines()
{
    auto& r = ring();
    std::lock_guard guard(r.lock);
    r.lines.clear();
}

bool debugLinesContain(std::wstring_view text)
{
    auto& r = ring();
    std::lock_guard guard(r.lock);
    for (const auto& line : r.lines) {
        if (line.find(text) != std::wstring::npos)
            return true;
    }
    return false;
}

} // namespace platform
