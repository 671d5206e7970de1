#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// One key going down or up, as the input system reports it: by its Linux evdev code (X11),
// or, where the toolkit reports USB HID usages instead, by that usage with evdevCode 0.
// Translating either is the caller's part.
struct HookKeyEvent {
    std::uint16_t evdevCode = 0;
    bool down = true;
    std::uint32_t timeMs = 0;
    std::uint16_t hidUsage = 0;
};

enum class HookMouseButton : std::uint8_t { Left, Right, Middle, Extra1, Extra2 };

struct HookMouseEvent {
    HookMouseButton button = HookMouseButton::Left;
    bool down = true;
    int x = 0;
    int y = 0;
    std::uint32_t timeMs = 0;
};

// Receives captured input. Called on a backend's own thread or on the UI thread; the
// receiver hands events to the UI thread itself.
class HookSink {
public:
    virtual ~HookSink() = default;
    virtual void onKey(const HookKeyEvent& event) = 0;
    virtual void onMouseButton(const HookMouseEvent& event) = 0;
};

// Captures the whole desktop's key and mouse-button input and, while started, keeps
// keystrokes away from every other program.
class InputHookBackend {
public:
    virtual ~InputHookBackend() = default;
    // False, with a reason in lastError(), when capture could not be set up (another
    // program holds the keyboard, no input extension). A started backend is stopped first.
    [[nodiscard]] virtual bool start(HookSink& sink) = 0;
    // Releases every grab; safe to call when not started.
    virtual void stop() = 0;
    virtual bool isStarted() const = 0;
    // True when capture only sees input while the program's own window has focus.
    virtual bool needsFocus() const = 0;
    virtual std::string lastError() const = 0;
};

// The X11 backend where a display with the input extension can be opened, otherwise the
// window backend below.
std::unique_ptr<InputHookBackend> createInputHookBackend();
// Null when no X display with XInput 2 is available.
std::unique_ptr<InputHookBackend> createX11InputHook();

// The window backend: capture through the program's own window. The window layer feeds
// it and keeps the keyboard grabbed while it asks for it.
std::unique_ptr<InputHookBackend> createWindowInputHook();

// What the window layer implements for the window backend.
class WindowKeyboardGrab {
public:
    virtual ~WindowKeyboardGrab() = default;
    // Grab (or release) the keyboard for the focused window, so that system shortcuts
    // reach the program where the compositor allows it.
    virtual void setKeyboardGrab(bool grabbed) = 0;
};
// Registered by the window layer at start-up; null unregisters. UI thread only.
void setWindowKeyboardGrab(WindowKeyboardGrab* grab);
// Called by the window layer for each key and mouse-button event of its windows; true
// when a started window backend took it, and the window must then not act on it.
bool feedWindowKey(const HookKeyEvent& event);
// Mouse buttons are only reported: the window still acts on them.
bool feedWindowMouseButton(const HookMouseEvent& event);
// True while a window backend is started: the window then withholds all key and text
// input from its own controls.
bool windowCaptureActive();
// Called by the window layer when its window loses focus: a window capture cannot keep
// the keyboard then, so the grab is released.
void windowFocusLost();

} // namespace platform
