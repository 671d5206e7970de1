#include "platform/exit_watchdog.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace platform {
namespace {

struct Watchdog {
    std::mutex lock;
    std::condition_variable changed;
    bool armed = false;
    std::chrono::steady_clock::time_point deadline;
    int exitCode = 0;
    std::string reason;
};

// Never freed: the waiting thread may still use it while static objects are destroyed.
Watchdog& watchdog()
{
    static Watchdog* instance = new Watchdog;
    return *instance;
}

void watch()
{
    Watchdog& w = watchdog();
    std::unique_lock lock(w.lock);
    while (std::chrono::steady_clock::now() < w.deadline)
        w.changed.wait_until(lock, w.deadline);
    const std::string line = "halvek: " + w.reason + "; ending now\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(w.exitCode);
}

} // namespace

void armExitWatchdog(std::chrono::milliseconds timeout, int exitCode, std::string reason)
{
    Watchdog& w = watchdog();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::lock_guard guard(w.lock);
    if (w.armed) {
        if (deadline < w.deadline) {
            w.deadline = deadline;
            w.exitCode = exitCode;
            w.reason = std::move(reason);
            w.changed.notify_all();
        }
        return;
    }
    w.armed = true;
    w.deadline = deadline;
    w.exitCode = exitCode;
    w.reason = std::move(reason);
    // Detached on purpose: it must outlive everything else, and dies with the process.
    std::thread(watch).detach();
}

} // namespace platform
