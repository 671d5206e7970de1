#include "device/hid/input_queue.h"

#include "device/hid/hid_changes.h"

#include <algorithm>

namespace hid {

void InputQueue::push(std::span<const std::uint8_t> report)
{
    {
        std::lock_guard guard(m_lock);
        if (m_reportCount >= kCapacity) {
            const auto oldest = std::find_if(m_entries.begin(), m_entries.end(),
                                             [](const Entry& entry) { return !entry.marker; });
            m_entries.erase(oldest);
            --m_reportCount;
        }
        m_entries.push_back({std::vector<std::uint8_t>(report.begin(), report.end()), {}});
        ++m_reportCount;
    }
    m_arrived.set();
}

void InputQueue::pushMarker(std::uint32_t marker)
{
    {
        std::lock_guard guard(m_lock);
        m_entries.push_back({{}, marker});
    }
    m_arrived.set();
}

void InputQueue::clear()
{
    std::lock_guard guard(m_lock);
    std::erase_if(m_entries, [](const Entry& entry) { return !entry.marker; });
    m_reportCount = 0;
}

void InputQueue::stop()
{
    m_stopped.store(true, std::memory_order_relaxed);
    m_ended.set();
}

void InputQueue::markGone()
{
    m_gone.store(true, std::memory_order_relaxed);
    m_ended.set();
    // Detection learns of the loss at once, even if the device is back before it looks.
    notifyChange();
}

Transfer InputQueue::endState() const
{
    if (isStopped())
        return Transfer::Stopped;
    if (isGone())
        return Transfer::Gone;
    return Transfer::Done;
}

Transfer InputQueue::pop(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout)
{
    return take(buffer, timeout, nullptr);
}

Transfer InputQueue::popEntry(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout,
                              std::optional<std::uint32_t>& marker)
{
    return take(buffer, timeout, &marker);
}

Transfer InputQueue::take(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout,
                          std::optional<std::uint32_t>* marker)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const Transfer ended = endState(); ended != Transfer::Done)
            return ended;
        {
            std::lock_guard guard(m_lock);
            while (!m_entries.empty() && m_entries.front().marker && marker == nullptr)
                m_entries.pop_front();
            if (!m_entries.empty()) {
                const Entry& entry = m_entries.front();
                if (marker != nullptr)
                    *marker = entry.marker;
                if (!entry.marker) {
                    const std::size_t length = std::min<std::size_t>(m_reportLength, buffer.size());
                    const std::size_t copied = std::min(length, entry.report.size());
                    std::copy_n(entry.report.begin(), copied, buffer.begin());
                    std::fill(buffer.begin() + copied, buffer.begin() + length, 0);
                    --m_reportCount;
                }
                m_entries.pop_front();
                return Transfer::Done;
            }
        }
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return Transfer::TimedOut;
        (void)platform::Event::waitForAny({&m_ended, &m_arrived}, left);
    }
}

Transfer InputQueue::waitUntilReady(platform::Event& ready, std::chrono::milliseconds timeout)
{
    if (const Transfer ended = endState(); ended != Transfer::Done)
        return ended;
    const auto which = platform::Event::waitForAny({&m_ended, &ready}, timeout);
    if (const Transfer ended = endState(); ended != Transfer::Done)
        return ended;
    return which ? Transfer::Done : Transfer::TimedOut;
}

} // namespace hid
