#include "device/model/live_frame_pump.h"

#include "platform/debug_output.h"
#include "platform/thread_cpu_time.h"

#include <algorithm>

namespace model {

LiveFramePump::LiveFramePump(Send send) : m_send(std::move(send)) {}

LiveFramePump::~LiveFramePump()
{
    stop();
}

void LiveFramePump::start()
{
    stop();
    m_ended.reset();
    m_started = true;
    (void)m_worker.start("live frames", [this](platform::Event& stopEvent) {
        run(stopEvent);
        m_cpuTime.store(platform::threadCpuTime());
        m_ended.set();
    });
}

void LiveFramePump::stop()
{
    if (!m_started)
        return;
    m_started = false;
    if (m_worker.stop(kStopTimeout))
        return;
    platform::debugOutput("live frame sender late to stop; waiting for it");
    // The thread sends through the channel of the device; neither may go before it ends.
    m_ended.wait();
}

void LiveFramePump::post(std::span<const std::uint8_t> frame)
{
    {
        std::lock_guard lock(m_slotLock);
        if (m_pending)
            ++m_counts.dropped;
        m_size = std::min(frame.size(), m_slot.size());
        std::copy_n(frame.begin(), m_size, m_slot.begin());
        m_pending = true;
        m_haveFrame = true;
        ++m_counts.posted;
    }
    m_wake.set();
}

void LiveFramePump::setFlatOut(bool on)
{
    m_flatOut.store(on);
    m_wake.set();
}

bool LiveFramePump::drain(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard lock(m_slotLock);
            if (!m_pending && !m_sending)
                return true;
        }
        if (!m_worker.isRunning() || !m_sent.waitUntil(deadline))
            return false;
    }
}

LiveFrameCounts LiveFramePump::counts() const
{
    std::lock_guard lock(m_slotLock);
    return m_counts;
}

void LiveFramePump::run(platform::Event& stopEvent)
{
    LiveFrameBytes frame{};
    std::size_t size = 0;
    for (;;) {
        bool take = false;
        {
            std::lock_guard lock(m_slotLock);
            take = m_pending || (m_flatOut.load() && m_haveFrame);
            if (take) {
                frame = m_slot;
                size = m_size;
                m_pending = false;
                m_sending = true;
            }
        }
        if (!take) {
            const auto woken =
                platform::Event::waitForAny({&stopEvent, &m_wake}, std::chrono::hours(1));
            if (woken == std::size_t{0})
                return;
            continue;
        }
        const bool sent = !stopEvent.isSet() && m_send(std::span(frame).first(size));
        {
            std::lock_guard lock(m_slotLock);
            ++(sent ? m_counts.sent : m_counts.failed);
            m_sending = false;
        }
        m_sent.set();
        if (stopEvent.isSet())
            return;
        // After a failure the device gets a rest; frames meanwhile wait in the slot.
        if (!sent && stopEvent.waitFor(kFailureBackOff))
            return;
    }
}

} // namespace model
