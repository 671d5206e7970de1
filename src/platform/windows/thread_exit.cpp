#include "platform/thread_exit.h"

#include "platform/debug_output.h"

#include <utility>
#include <vector>
#include <windows.h>

namespace platform {
namespace {

using ExitCalls = std::vector<std::pair<void (*)(void*), void*>>;

// Fiber-local storage: the system calls back with the slot's value as the thread ends,
// without going through the C++ runtime's thread storage.
void WINAPI runExitCalls(void* value)
{
    auto* calls = static_cast<ExitCalls*>(value);
    if (calls == nullptr)
        return;
    for (const auto& [cleanup, data] : *calls)
        cleanup(data);
    delete calls;
}

DWORD exitCallsSlot()
{
    static const DWORD slot = FlsAlloc(runExitCalls);
    return slot;
}

} // namespace

void atThreadExit(void (*cleanup)(void*), void* data)
{
    const DWORD slot = exitCallsSlot();
    if (slot == FLS_OUT_OF_INDEXES) {
        debugOutput("thread exit: no fiber-local slot; per-thread state is kept to the end");
        return;
    }
    auto* calls = static_cast<ExitCalls*>(FlsGetValue(slot));
    if (calls == nullptr) {
        calls = new ExitCalls;
        FlsSetValue(slot, calls);
    }
    calls->emplace_back(cleanup, data);
}

} // namespace platform
