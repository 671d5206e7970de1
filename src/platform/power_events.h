#pragma once

#include "platform/result.h"
#include "platform/window_messages.h"

#include <memory>
#include <string>

// wParam of WM_POWERBROADCAST.
inline constexpr WPARAM PBT_APMSUSPEND = 0x0004;
inline constexpr WPARAM PBT_APMRESUMEAUTOMATIC = 0x0012;

namespace platform {

// Tells a window when the system suspends and resumes: WM_POWERBROADCAST with wParam
// PBT_APMSUSPEND as the system is about to sleep and PBT_APMRESUMEAUTOMATIC after it
// woke up (lParam 0). On Linux they come from logind's PrepareForSleep signal.
//
// The suspend message is sent from a worker thread: the system sleeps once the window
// has handled it (logind waits a few seconds at most; where it grants no delay lock, it
// does not wait). The resume message is posted. Either is handled on the window's thread.
class PowerEvents {
public:
    PowerEvents();
    ~PowerEvents();
    PowerEvents(const PowerEvents&) = delete;
    PowerEvents& operator=(const PowerEvents&) = delete;

    // Starts listening for the window. busAddress: empty for the system's own bus, or a
    // D-Bus address (tests run a bus of their own). Fails with the reason when the bus
    // cannot be reached; the program then simply gets no power messages.
    [[nodiscard]] Result<void> start(HWND target, const std::string& busAddress = {});
    // Stops within a second. Called on the window's thread while a suspend message waits
    // for that thread, it takes the whole second and the message arrives afterwards.
    void stop();
    bool isRunning() const;

private:
    struct Listener;
    std::unique_ptr<Listener> m_listener;
};

} // namespace platform
