#include "devsim/usb_timing.h"

#include <algorithm>
#include <thread>

namespace devsim {

void UsbTiming::setEnabled(bool enabled)
{
    std::lock_guard guard(m_lock);
    m_enabled = enabled;
    m_epoch = Clock::now();
    m_lastOut = -1;
    m_lastIn = -1;
    m_outReports = 0;
    m_inReports = 0;
}

bool UsbTiming::isEnabled() const
{
    std::lock_guard guard(m_lock);
    return m_enabled;
}

std::int64_t UsbTiming::frameNow() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_epoch).count() /
           std::chrono::duration_cast<std::chrono::microseconds>(kFrame).count();
}

std::int64_t UsbTiming::waitForOut()
{
    std::int64_t frame = 0;
    Clock::time_point epoch;
    {
        std::lock_guard guard(m_lock);
        if (!m_enabled)
            return -1;
        frame = std::max(frameNow(), m_lastOut + 1);
        m_lastOut = frame;
        ++m_outReports;
        epoch = m_epoch;
    }
    // A deadline on the frame grid: oversleeping one frame does not push the next ones back.
    std::this_thread::sleep_until(epoch + frame * kFrame);
    return frame;
}

void UsbTiming::waitForIn(std::int64_t after)
{
    std::int64_t frame = 0;
    Clock::time_point epoch;
    {
        std::lock_guard guard(m_lock);
        if (!m_enabled)
            return;
        frame = std::max({frameNow(), m_lastIn + 1, after + 1});
        m_lastIn = frame;
        ++m_inReports;
        epoch = m_epoch;
    }
    std::this_thread::sleep_until(epoch + frame * kFrame);
}

std::uint64_t UsbTiming::outReports() const
{
    std::lock_guard guard(m_lock);
    return m_outReports;
}

std::uint64_t UsbTiming::inReports() const
{
    std::lock_guard guard(m_lock);
    return m_inReports;
}

} // namespace devsim
