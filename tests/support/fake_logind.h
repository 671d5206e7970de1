#pragma once

#include "platform/linux/bus_thread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <systemd/sd-bus.h>
#include <vector>

namespace testing_support {

// A connection on a private bus; with a name it plays logind, which hands out delay
// locks as pipes: a lock is released when the read end sees the pipe closed. Without a
// name it is any other program on the bus.
class FakeLogind {
public:
    static constexpr const char* kName = "org.freedesktop.login1";

    FakeLogind(const std::string& address, const char* name = kName);
    ~FakeLogind();
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;

    // Waits until this many delay locks were handed out.
    bool waitForLocks(std::size_t count);
    // Whether the newest lock is still open; waits up to `waitForRelease` for it to close.
    bool newestLockHeld(std::chrono::milliseconds waitForRelease = {});

    // Emits PrepareForSleep and returns once the bus daemon has routed it.
    void prepareForSleep(bool sleeping);
    // The same signal with a text where the flag belongs.
    void malformedPrepareForSleep();

private:
    void emit(const std::function<void(sd_bus*)>& send);
    static int onInhibit(sd_bus_message* call, void* userdata, sd_bus_error* error);

    std::mutex m_lock;
    std::condition_variable m_locksChanged;
    std::vector<int> m_lockReadEnds; // guarded by m_lock
    platform::BusThread m_bus;
};

} // namespace testing_support
