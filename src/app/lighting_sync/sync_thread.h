#pragma once

#include "app/lighting_sync/device_lists.h"
#include "app/lighting_sync/sync_effect.h"
#include "platform/worker_thread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace app::lighting_sync {

// The worker that lights every device in synchronised mode in step: one colour computed
// per step and written into every light of each such device. While no online device is
// in synchronised mode it sleeps until the lists say a device came or changed; otherwise
// it waits for the next step (the threshold of the settings' speed, in system ticks). Both
// waits end on its stop event, so stopping is never held up by a sleep.
class SyncLightingThread {
public:
    // Watches `devices` from here on.
    SyncLightingThread(DeviceLists& devices, const SyncSettings& settings);
    ~SyncLightingThread();
    SyncLightingThread(const SyncLightingThread&) = delete;
    SyncLightingThread& operator=(const SyncLightingThread&) = delete;

    bool start();
    // True when the thread ended within the time-out.
    bool stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

    // Times the thread was woken while idle, and steps written; for tests and measurements.
    std::uint64_t idleWakes() const { return m_state->idleWakes.load(std::memory_order_relaxed); }
    std::uint64_t steps() const { return m_state->steps.load(std::memory_order_relaxed); }
    // The CPU time the thread had used when it last went idle (or ended).
    std::chrono::nanoseconds cpuTime() const
    {
        return std::chrono::nanoseconds(m_state->cpuTime.load(std::memory_order_relaxed));
    }

private:
    // Shared with the thread, so a thread that outlives a late stop never reads freed state.
    struct State {
        const DeviceLists& devices;
        const SyncSettings& settings;
        SyncEffect effect; // the thread's own
        const std::shared_ptr<platform::Event> changed =
            std::make_shared<platform::Event>(platform::Event::ResetPolicy::Automatic);
        std::atomic<std::uint64_t> idleWakes{0};
        std::atomic<std::uint64_t> steps{0};
        std::atomic<std::int64_t> cpuTime{0};

        void run(platform::Event& stop);
        bool anyInSync() const;
        void writeColour(std::uint32_t colour) const;
    };

    std::shared_ptr<State> m_state;
    platform::WorkerThread m_worker;
};

} // namespace app::lighting_sync
