#pragma once

namespace platform {

// Calls `cleanup(data)` as the calling thread ends, after its own code has returned; in
// the order registered. For per-thread state that would otherwise be a thread_local with a
// destructor: MinGW runs those after the thread's storage is freed, on freed memory.
void atThreadExit(void (*cleanup)(void*), void* data);

} // namespace platform
