#pragma once

#include "device/model/lighting_engine.h"
#include "platform/event.h"
#include "platform/worker_thread.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace model {

// What the lighting thread asks of the device that owns it. Called on the lighting thread.
class LightingHost {
public:
    virtual ~LightingHost() = default;
    virtual bool isChannelOpen() const = 0;
    // While set, the synchronised lighting paints the colours and the thread computes nothing.
    virtual bool isLightingSynced() const = 0;
    // `changed` is to be set whenever either answer above may have changed, for as long as
    // it lives: the thread sleeps until then. Called before the thread first asks.
    virtual void watchChannel(const std::weak_ptr<platform::Event>& changed) = 0;
    // A pass has repainted the light colours; no lock is held.
    virtual void framePainted() {}
};

// The device's lighting thread and the engine it drives. The engine is reached through
// update(), which holds the engine lock, so the UI thread can change settings while the
// thread runs; the light colours are read without it.
//
// The thread counts ticks of kDefaultTick and runs a pass per tick while something changes every
// pass; otherwise it sleeps until the mode's next step is due, or until stop() or wake().
// While the channel is closed or the lighting synchronised it sleeps until the host says
// either changed.
class LightingThread {
public:
    using Duration = std::chrono::steady_clock::duration;
    static constexpr Duration kDefaultTick = kSystemTick;
    static constexpr std::chrono::milliseconds kStopTimeout{1000};

    explicit LightingThread(LightingHost& host, std::uint32_t seed = 1,
                            Duration tick = kDefaultTick);
    ~LightingThread();
    LightingThread(const LightingThread&) = delete;
    LightingThread& operator=(const LightingThread&) = delete;

    // Starts the thread; a running one is stopped first.
    void start();
    // Stops the thread and returns once it has ended, reporting one that took longer than
    // kStopTimeout. Not from the lighting thread itself (framePainted), which would wait for
    // itself.
    void stop();
    bool isRunning() const { return m_worker.isRunning(); }

    // Runs `change` on the engine under its lock, then lets the thread re-plan its wait.
    template <class Change> decltype(auto) update(Change&& change)
    {
        struct WakeAfter {
            LightingThread& thread;
            ~WakeAfter() { thread.wake(); }
        } wakeAfter{*this};
        std::lock_guard lock(m_engineLock);
        return change(m_engine);
    }
    // Look at the engine and the host again now.
    void wake() { m_wake->set(); }

    LightColourList& lights() { return m_engine.lights(); }
    // The thread's CPU time over its last run, known once it has stopped.
    std::chrono::nanoseconds threadCpuTime() const { return m_cpuTime.load(); }

private:
    void run(platform::Event& stop);

    LightingHost& m_host;
    Duration m_tick;
    std::mutex m_engineLock; // guards m_engine except its light colours
    LightingEngine m_engine;
    std::atomic<std::chrono::nanoseconds> m_cpuTime{};
    // Shared so that the host may hold it weakly.
    const std::shared_ptr<platform::Event> m_wake =
        std::make_shared<platform::Event>(platform::Event::ResetPolicy::Automatic);
    platform::Event m_ended{platform::Event::ResetPolicy::Manual};
    platform::WorkerThread m_worker;
    bool m_started = false; // start() and stop() run on the owner's thread only
};

} // namespace model
