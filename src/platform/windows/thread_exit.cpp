#include "platform/thread_exit.h"

#include "platform/debug_output.h"

#include <pthread.h>
#include <utility>
#include <vector>

namespace platform {
namespace {

using ExitCalls = std::vector<std::pair<void (*)(void*), void*>>;

// A thread key of the threads library std::thread runs on: its destructor gets the key's
// value as the thread's own code returns, outside the system's loader lock (a fiber-local
// callback runs under it, and a cleanup that takes a lock could then wait for good).
void runExitCalls(void* value)
{
    auto* calls = static_cast<ExitCalls*>(value);
    for (const auto& [cleanup, data] : *calls)
        cleanup(data);
    delete calls;
}

struct ExitKey {
    pthread_key_t key{};
    bool made = pthread_key_create(&key, runExitCalls) == 0;
};

const ExitKey& exitKey()
{
    static const ExitKey key;
    return key;
}

} // namespace

void atThreadExit(void (*cleanup)(void*), void* data)
{
    const ExitKey& key = exitKey();
    if (!key.made) {
        debugOutput("thread exit: no thread key; per-thread state is kept to the end");
        return;
    }
    auto* calls = static_cast<ExitCalls*>(pthread_getspecific(key.key));
    if (calls == nullptr) {
        calls = new ExitCalls;
        pthread_setspecific(key.key, calls);
    }
    calls->emplace_back(cleanup, data);
}

} // namespace platform
