#pragma once

#include "ui/ui_types.h"
#include "ui/window_backend.h"

#include <memory>
#include <string>
#include <vector>

inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
inline constexpr UINT IDOK = 1;
inline constexpr UINT IDCANCEL = 2;

// A window with a handle on the UI thread's message queue and a native window of the
// current backend. Messages reach HandleMessage; the default handling closes on
// WM_CLOSE and carries out the WM_SYSCOMMAND size commands.
class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the window (WM_CREATE is handled before this returns). CW_USEDEFAULT for
    // the size takes the skin's initial size. Null when WM_CREATE answered -1.
    HWND Create(HWND parent, std::wstring_view name, DWORD style, DWORD exStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                int cy = CW_USEDEFAULT, void* menu = nullptr);
    HWND Create(HWND parent, std::wstring_view name, DWORD style, DWORD exStyle, const RECT& rc,
                void* menu = nullptr);

    void ShowWindow(bool show = true, bool takeFocus = true);
    // Shows the window and runs a nested loop, dispatching every window's messages,
    // until the window is gone; returns the code given to Close. The owner takes no
    // input meanwhile. A WM_QUIT seen by the loop ends it and is passed on.
    UINT ShowModal();
    void Close(UINT code = IDOK);
    void CenterWindow();
    void SetIcon(UINT resourceId) { m_iconId = resourceId; }
    UINT GetIcon() const { return m_iconId; }

    // Window timers: WM_TIMER with the id in wParam; setting a running id restarts it.
    bool SetTimer(UINT_PTR id, UINT elapse);
    bool KillTimer(UINT_PTR id);

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    RECT GetWindowRect() const;
    void MoveWindow(const RECT& rc);
    void ResizeClient(int cx, int cy);
    bool IsWindowVisible() const;
    bool IsIconic() const;
    bool IsZoomed() const;
    void SetTopMost(bool topMost);
    // Shows a painted frame (nothing while hidden or minimised).
    void Present(const ui::Canvas& canvas, std::span<const RECT> damage);
    // How many frames the window has shown.
    int GetFramesShown() const { return m_framesShown; }
    void BringToFront()
    {
        if (m_native)
            m_native->raise();
    }
    HWND GetOwner() const { return m_owner; }
    // The DPI of the display the window is on (96 before the window exists).
    int GetDpi() const { return m_native ? m_native->dpi() : 96; }
    const ui::NativeWindow* GetNativeWindow() const { return m_native.get(); }
    std::wstring GetTitle() const { return m_title; }
    // The title the desktop shows (task bar, switcher, window list); empty is ignored.
    void SetWindowText(std::wstring_view title);
    // Before the window is first shown: it is a pop-up menu to the desktop.
    void markAsMenu()
    {
        if (m_native)
            m_native->markAsMenu();
    }
    // False while a modal child runs: mouse and keyboard messages are dropped.
    bool IsInputEnabled() const { return m_inputEnabled; }

    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual UINT GetClassStyle() const { return 0; }

protected:
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // After the window is gone and none of its handlers runs any more (a window destroyed
    // from inside one of them gets it when the outermost returns); a window may delete
    // itself here.
    virtual void OnFinalMessage(HWND hwnd);

    HWND m_hWnd = nullptr;

private:
    friend LRESULT windowProc(CWindowWnd* window, HWND hwnd, UINT msg, WPARAM wParam,
                              LPARAM lParam);
    friend LRESULT defaultWindowProc(CWindowWnd* window, UINT msg, WPARAM wParam, LPARAM lParam);
    void Detach();

    std::unique_ptr<ui::NativeWindow> m_native;
    HWND m_owner = nullptr;
    // The dialog ShowModal runs for this window, if any.
    HWND m_modalChild = nullptr;
    std::wstring m_title;
    UINT m_iconId = 0;
    bool m_inputEnabled = true;
    // Handlers of this window on the stack, and whether its final message waits for them.
    int m_handlersRunning = 0;
    bool m_finalPending = false;
    RECT m_restoreRect{};
    int m_framesShown = 0;
};

namespace ui {
// The window of a handle, or null.
CWindowWnd* windowFromHandle(HWND hwnd);
// The default handling of a message for the window of the handle.
LRESULT defWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Destroys the windows the handle owns, then sends WM_DESTROY and WM_NCDESTROY and removes
// the handle. False when the handle names no window.
bool destroyWindow(HWND hwnd);
// Destroys every window the handle owns (menus, dialogs), theirs first.
void destroyOwnedWindows(HWND owner);
// A point in the window's client area in screen coordinates.
POINT clientToScreen(HWND hwnd, POINT pt);
// The first window with this class name (and title, when not empty), or null.
HWND findWindow(std::wstring_view className, std::wstring_view title = {});
std::vector<HWND> allWindows();
// The largest allowed DPI not above `wanted` at which a layout of `layout` pixels at 96 DPI
// fits in `area` (the work area); the smallest allowed DPI when none does.
int dpiThatFits(SIZE layout, const RECT& area, int wanted);
} // namespace ui
