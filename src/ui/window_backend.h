#pragma once

#include "platform/result.h"
#include "ui/render.h"
#include "ui/ui_types.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Sent by a backend when the window manager asks a window to close (its title bar's
// close, or Alt+F4 taken by the manager): the window does what its own close button does.
inline constexpr UINT WM_MANAGERCLOSE = WM_USER + 201;

namespace ui {

enum class ShowState { Hidden, Normal, Minimized, Maximized };

// The system window that shows one CWindowWnd. It turns the system's input into window
// messages sent to its handle and shows the frames the paint manager painted. Moves,
// resizes and state changes made by the window manager update bounds() and state()
// and arrive as WM_MOVE and WM_SIZE (wParam SIZE_RESTORED, SIZE_MINIMIZED, SIZE_MAXIMIZED).
class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    // Outer rectangle in screen coordinates (no frame: client and window are the same).
    virtual RECT bounds() const = 0;
    virtual void setBounds(const RECT& rc) = 0;
    virtual void setState(ShowState state) = 0;
    virtual ShowState state() const = 0;
    virtual void setTitle(std::wstring_view title) = 0;
    // Shows the canvas where it changed: the rectangles of `damage` (client pixels); the
    // rest of the window keeps the last frame.
    virtual void present(const Canvas& canvas, std::span<const RECT> damage) = 0;
    virtual void raise() = 0;
    // Top-most windows stay above the others.
    virtual void setTopMost(bool topMost) = 0;
    // The picture the desktop shows for the window (task bar, switcher).
    virtual void setIcon(const Image& icon) = 0;
    // The DPI of the display the window is on, following the desktop's scale factor.
    virtual int dpi() const = 0;
    // The last frame shown, read back in the window's real pixel format and converted to
    // 0xAARRGGBB; empty before the first frame.
    virtual std::optional<Image> shownFrame() const = 0;
    // The icon last set, where the backend can tell (off-screen); empty otherwise.
    virtual std::optional<Image> icon() const { return std::nullopt; }
    // The window this one was created for, which it stays above; null for a top-level one.
    virtual const NativeWindow* owner() const = 0;
    // How desktop services (the file chooser) name the window: "x11:1a00004"; empty when
    // the backend has no such name.
    virtual std::string desktopHandle() const { return {}; }
    // Before it is first shown: the window is a pop-up menu, which window managers leave
    // undecorated, where it was put, and above its owner.
    virtual void markAsMenu() {}
};

// Creates native windows and answers questions about the screen.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    // A window with an owner is a dialog or popup of it: it stays above the owner and
    // is left out of the task bar.
    virtual std::unique_ptr<NativeWindow>
    createWindow(HWND hwnd, std::wstring_view title, const RECT& rc, const NativeWindow* owner) = 0;
    virtual RECT workArea() const = 0;
    // The DPI of the primary display, following the desktop's scale factor.
    virtual int screenDpi() const = 0;
    virtual POINT cursorPos() const = 0;
    virtual std::wstring clipboardText() const = 0;
    virtual void setClipboardText(std::wstring_view text) = 0;
    // Asks for composed text input while an edit has focus.
    virtual void setTextInput(HWND hwnd, bool enabled) = 0;
    // True once the connection to the display broke; the UI thread's loop has been
    // asked to quit and the process ends within a bounded time whatever happens next.
    virtual bool displayLost() const { return false; }
};

// The backend windows are created with; the off-screen one until another is set.
WindowBackend& windowBackend();
void setWindowBackend(std::unique_ptr<WindowBackend> backend);

std::unique_ptr<WindowBackend> createOffscreenBackend();
// Opens the display through SDL. Refuses (with a message for the user) when there is no
// display: SDL's own off-screen and dummy drivers would show nothing to anybody.
[[nodiscard]] platform::Result<std::unique_ptr<WindowBackend>> createSdlBackend();

// Shows the damaged part of a painted frame in the window of the handle (no-op for unknown
// handles, hidden and minimised windows).
void presentWindow(HWND hwnd, const Canvas& canvas, std::span<const RECT> damage);
// False for a window that is hidden or minimised; true for handles of no window.
bool isWindowShowing(HWND hwnd);
// Resizes a window by newDpi/oldDpi unless it is maximised.
void rescaleWindow(HWND hwnd, int oldDpi, int newDpi);

// Window icons by resource id (the id WM_SETICON carries in lParam): an image file of
// the skin, drawn at the size the desktop asks for.
void registerIconResource(UINT resourceId, std::wstring_view file);
std::optional<Image> loadIconResource(UINT resourceId, int size);

} // namespace ui
