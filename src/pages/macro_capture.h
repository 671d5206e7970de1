#pragma once

// The input capture behind macro recording. The page only needs "start in this hook mode",
// "stop" and the events; the main window's hook serves them, and tests may serve their own.

#include "hook/device_hook.h"
#include "pages/models/macro_editor_model.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace shell {
class PageHost;
}

namespace pages {

struct CapturedKey {
    std::uint8_t scanCode = 0; // 0 for a key the tables do not know
    bool extended = false;
    bool down = false;
    std::uint32_t timeMs = 0; // when it happened, on the input system's clock
};

struct CapturedButton {
    MacroMouseButton button = MacroMouseButton::Left;
    bool down = false;
    int x = 0; // screen point
    int y = 0;
    std::uint32_t timeMs = 0;
};

class MacroCaptureSink {
public:
    virtual ~MacroCaptureSink() = default;
    virtual void onCapturedKey(const CapturedKey& key) = 0;
    virtual void onCapturedButton(const CapturedButton& button) = 0;
    // Capture ended without the sink asking: the window lost focus or another page took the
    // hook.
    virtual void onCaptureEnded() {}
};

class MacroCapture {
public:
    virtual ~MacroCapture() = default;
    // False when input could not be captured (nothing is then hooked).
    virtual bool start(int hookMode, MacroCaptureSink& sink) = 0;
    // Releases every grab; safe when not started.
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    // True when capture sees input only while our window has focus.
    virtual bool needsFocus() const = 0;
    virtual std::string lastError() const = 0;
};

// Capture through the main window's input hook, which holds it for one page at a time.
std::unique_ptr<MacroCapture> createHookCapture(shell::PageHost& window);

} // namespace pages
