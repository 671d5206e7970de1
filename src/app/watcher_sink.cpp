#include "app/watcher_sink.h"

#include "platform/message_queue.h"

#include <chrono>

namespace app {
namespace {
// How often a waiting watcher looks at its stop event.
constexpr std::chrono::milliseconds kStopCheck{20};
} // namespace

MainWatcherSink::MainWatcherSink(HWND window, UINT arrivedMessage, UINT removedMessage,
                                 UINT instanceMessage)
    : m_window(window), m_arrived(arrivedMessage), m_removed(removedMessage),
      m_instance(instanceMessage)
{
}

void MainWatcherSink::interfaceArrived(std::size_t row, const platform::Event& stop)
{
    deliver(m_arrived, row, stop);
}

void MainWatcherSink::interfaceRemoved(std::size_t row, const platform::Event& stop)
{
    deliver(m_removed, row, stop);
}

void MainWatcherSink::firstPassDone()
{
    if (m_instance != 0)
        platform::postMessage(m_window, m_instance, 0, 0);
}

void MainWatcherSink::deliver(UINT message, std::size_t row, const platform::Event& stop)
{
    if (stop.isSet())
        return;
    auto pending = std::make_shared<Pending>();
    LPARAM ticket = 0;
    {
        std::lock_guard guard(m_lock);
        ticket = m_nextTicket++;
        m_pending.emplace(ticket, pending);
    }
    if (platform::postMessage(m_window, message, static_cast<WPARAM>(row), ticket)) {
        while (!pending->done.waitFor(kStopCheck)) {
            if (stop.isSet())
                break;
        }
    }
    std::lock_guard guard(m_lock);
    m_pending.erase(ticket);
}

void MainWatcherSink::complete(LPARAM ticket)
{
    std::shared_ptr<Pending> pending;
    {
        std::lock_guard guard(m_lock);
        const auto found = m_pending.find(ticket);
        if (found == m_pending.end())
            return;
        pending = found->second;
    }
    pending->done.set();
}

} // namespace app
