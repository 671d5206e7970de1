#pragma once

#include "ui/render.h"
#include "ui/ui_types.h"

#include <memory>
#include <string_view>

namespace ui {

enum class ShowState { Hidden, Normal, Minimized, Maximized };

// The system window that shows one CWindowWnd. It turns the system's input into window
// messages sent to its handle and shows the frames the paint manager painted.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    // Outer rectangle in screen coordinates (no frame: client and window are the same).
    virtual RECT bounds() const = 0;
    virtual void setBounds(const RECT& rc) = 0;
    virtual void setState(ShowState state) = 0;
    virtual ShowState state() const = 0;
    virtual void setTitle(std::wstring_view title) = 0;
    virtual void present(const Canvas& canvas) = 0;
    virtual void raise() = 0;
    // Top-most windows stay above the others.
    virtual void setTopMost(bool topMost) = 0;
};

// Creates native windows and answers questions about the screen.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    virtual std::unique_ptr<NativeWindow> createWindow(HWND hwnd, std::wstring_view title,
                                                       const RECT& rc, bool popup) = 0;
    virtual RECT workArea() const = 0;
    virtual int screenDpi() const = 0;
    virtual POINT cursorPos() const = 0;
    virtual std::wstring clipboardText() const = 0;
    virtual void setClipboardText(std::wstring_view text) = 0;
    // Asks for composed text input while an edit has focus.
    virtual void setTextInput(HWND hwnd, bool enabled) = 0;
};

// The backend windows are created with; the off-screen one until another is set.
WindowBackend& windowBackend();
void setWindowBackend(std::unique_ptr<WindowBackend> backend);

std::unique_ptr<WindowBackend> createOffscreenBackend();
// Null when no display can be opened.
std::unique_ptr<WindowBackend> createSdlBackend();

// Shows a painted frame in the window of the handle (no-op for unknown handles).
void presentWindow(HWND hwnd, const Canvas& canvas);
// Resizes a window by newDpi/oldDpi unless it is maximised.
void rescaleWindow(HWND hwnd, int oldDpi, int newDpi);

} // namespace ui
