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
// woke up (lParam 0). The messages are posted from a worker thread; the window handles
// them on its own thread. On Linux they come from logind's PrepareForSleep signal.
//
// The system does not wait for the window: a suspend message may be handled only after
// the resume.
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
    // Stops within a second; no message is posted after it returns.
    void stop();
    bool isRunning() const;

private:
    struct Listener;
    std::unique_ptr<Listener> m_listener;
};

} // namespace platform
