#include "device/model/lighting_thread.h"

#include "platform/debug_output.h"
#include "platform/thread_cpu_time.h"

#include <algorithm>
#include <optional>

namespace model {

LightingThread::LightingThread(LightingHost& host, std::uint32_t seed, Duration tick)
    : m_host(host), m_tick(std::max(tick, Duration(std::chrono::milliseconds(1)))), m_engine(seed)
{
}

LightingThread::~LightingThread()
{
    stop();
}

void LightingThread::start()
{
    stop();
    m_ended.reset();
    m_host.watchChannel(m_wake);
    m_started = true;
    (void)m_worker.start("lighting", [this](platform::Event& stopEvent) {
        run(stopEvent);
        m_cpuTime.store(platform::threadCpuTime());
        m_ended.set();
    });
}

void LightingThread::stop()
{
    if (!m_started)
        return;
    m_started = false;
    if (m_worker.stop(kStopTimeout)) {
        platform::debugOutput(L"线程退出：：对象处于激发状态\n");
        return;
    }
    platform::debugOutput(L"线程退出：：对象处于非激发状态，超时\n");
    // The thread uses this object and the device; neither may go before it has ended.
    m_ended.wait();
}

void LightingThread::run(platform::Event& stopEvent)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point origin = Clock::now();
    auto tickAt = [&](Clock::time_point time) { return (time - origin) / m_tick; };

    auto lastTick = tickAt(Clock::now());
    // None while there is nothing to do until the host or the owner wakes us.
    std::optional<Clock::time_point> deadline = Clock::now();
    for (;;) {
        const auto woken = deadline
                               ? platform::Event::waitForAny(
                                     {&stopEvent, m_wake.get()},
                                     std::max(Clock::duration::zero(), *deadline - Clock::now()))
                               : platform::Event::waitForAny({&stopEvent, m_wake.get()});
        if (woken == std::size_t{0})
            break;
        // A change after these looks sets m_wake again, so the wait below cannot miss it.
        if (!m_host.isChannelOpen() || m_host.isLightingSynced()) {
            deadline.reset();
            continue;
        }
        const Clock::time_point now = Clock::now();
        const auto tick = tickAt(now);
        if (tick == lastTick) {
            // Woken between ticks: the pass belongs to the next tick.
            deadline = origin + (lastTick + 1) * m_tick;
            continue;
        }
        const int elapsed = int(std::min<decltype(tick)>(tick - lastTick, 1 << 20));
        lastTick = tick;
        int waitTicks = 1;
        {
            std::lock_guard lock(m_engineLock);
            waitTicks = m_engine.runPass(
                std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()),
                elapsed);
        }
        m_host.framePainted();
        deadline = origin + (lastTick + waitTicks) * m_tick;
    }
    platform::debugOutput(L"KB灯光线程设定退出");
}

} // namespace model
