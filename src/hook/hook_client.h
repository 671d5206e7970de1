#pragma once

#include "hook/device_hook.h"

namespace hook {

// A page that asked the main window for the input hook. Its events arrive on the UI thread,
// one at a time, only while its hook is installed; the event records are valid only during
// the call.
class HookClient {
public:
    virtual ~HookClient() = default;
    // `message` is the mode's registered message, `keyMessage` WM_KEYDOWN or WM_KEYUP.
    virtual void onHookKey(UINT message, WPARAM keyMessage, const HookKeyboardEvent& event) = 0;
    // `mouseMessage` is WM_LBUTTONDOWN … WM_XBUTTONUP; extra buttons in the high word of
    // event.mouseData.
    virtual void onHookMouse(UINT message, WPARAM mouseMessage, const HookMouseButtonEvent& event)
    {
        (void)message, (void)mouseMessage, (void)event;
    }
    // The hook is installed for this client. `needsFocus`: input is seen only while the
    // program's window has focus (no desktop-wide capture here), which the page should say.
    virtual void onHookInstalled(bool needsFocus) { (void)needsFocus; }
    // The hook went away without this client asking: another client took it, the window
    // lost focus, the device's tile went away or the window closed.
    virtual void onHookRemoved() {}
};

} // namespace hook
