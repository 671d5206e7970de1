#include "platform/thread_exit.h"

#include <utility>
#include <vector>

namespace platform {
namespace {

struct ExitCalls {
    std::vector<std::pair<void (*)(void*), void*>> calls;
    ~ExitCalls()
    {
        for (const auto& [cleanup, data] : calls)
            cleanup(data);
    }
};

} // namespace

void atThreadExit(void (*cleanup)(void*), void* data)
{
    thread_local ExitCalls exitCalls;
    exitCalls.calls.emplace_back(cleanup, data);
}

} // namespace platform
