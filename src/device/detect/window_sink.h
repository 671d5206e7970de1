#pragma once

#include "device/detect/device_watcher.h"
#include "platform/message_queue.h"

namespace detect {

inline constexpr UINT kMsgInterfaceArrived = 0x0C12; // wParam: row index
inline constexpr UINT kMsgInterfaceRemoved = 0x0C13; // wParam: row index

// Reports the watcher's findings to a window: arrival and removal are sent, so the watcher
// waits until the window's thread has run the step; the first pass is posted as the given
// instance message (wParam 0, lParam 0).
//
// Shutdown: the window's thread destroys the window before it stops the watcher. That
// releases a watcher waiting in a send, so the two never wait for each other.
class WindowSink : public WatcherSink {
public:
    WindowSink(HWND window, UINT instanceMessage)
        : m_window(window), m_instanceMessage(instanceMessage)
    {
    }

    void interfaceArrived(std::size_t row, const platform::Event& stop) override
    {
        if (!stop.isSet())
            platform::sendMessage(m_window, kMsgInterfaceArrived, row, 0);
    }
    void interfaceRemoved(std::size_t row, const platform::Event& stop) override
    {
        if (!stop.isSet())
            platform::sendMessage(m_window, kMsgInterfaceRemoved, row, 0);
    }
    void firstPassDone() override
    {
        if (m_instanceMessage != 0)
            platform::postMessage(m_window, m_instanceMessage, 0, 0);
    }

private:
    HWND m_window;
    UINT m_instanceMessage;
};

} // namespace detect
