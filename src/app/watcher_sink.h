#pragma once

#include "device/detect/device_watcher.h"
#include "platform/event.h"
#include "platform/window_messages.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace app {

// Reports the watcher's findings to the main window. Arrival and removal wait, as a sent
// message would, until the window's thread has handled them, but the wait also ends when
// the watcher is told to stop: a window busy shutting down can never hold the watcher, and
// so never waits for a watcher that waits for it.
//
// The message carries a ticket in lParam; the window hands it back through complete().
// Tickets are looked up, never dereferenced, so a forged lParam releases nothing.
class MainWatcherSink : public detect::WatcherSink {
public:
    MainWatcherSink(HWND window, UINT arrivedMessage, UINT removedMessage, UINT instanceMessage);

    void interfaceArrived(std::size_t row, const platform::Event& stop) override;
    void interfaceRemoved(std::size_t row, const platform::Event& stop) override;
    void firstPassDone() override;

    // UI thread: the message with this ticket has been handled.
    void complete(LPARAM ticket);

private:
    struct Pending {
        platform::Event done{platform::Event::ResetPolicy::Manual};
    };
    void deliver(UINT message, std::size_t row, const platform::Event& stop);

    HWND m_window;
    UINT m_arrived;
    UINT m_removed;
    UINT m_instance;
    std::mutex m_lock; // guards the two members below
    std::map<LPARAM, std::shared_ptr<Pending>> m_pending;
    LPARAM m_nextTicket = 1;
};

} // namespace app
