#pragma once

#include "ui/menu_wnd.h"
#include "ui/ui_types.h"

#include <memory>
#include <string>
#include <vector>

// Posted with the tray message (lParam) when a notification area appears or goes away;
// the window asks CTrayIcon::HasTrayHost() for the new state.
inline constexpr LPARAM kTrayHostChanged = WM_USER + 0x100;

namespace ui {
// Where a backend delivers clicks: postMessage(hwnd, message, iconId, WM_LBUTTONUP or
// WM_RBUTTONUP), from any thread.
struct TrayTarget {
    HWND hwnd = nullptr;
    UINT message = 0;
    UINT iconId = 0;
};

// Shows the icon where the desktop has a notification area.
class TrayBackend {
public:
    virtual ~TrayBackend() = default;
    // True when the icon was handed to the desktop (whether a notification area shows it
    // now is hasHost()); false when it cannot be shown at all.
    virtual bool show(const TrayTarget& target, std::wstring_view tooltip) = 0;
    virtual void setTooltip(std::wstring_view tooltip) = 0;
    // The menu the desktop shows for the icon; choosing an item posts WM_MENUCLICK with
    // its name to the target window. Backends without menus of their own ignore it.
    virtual void setMenu(const std::vector<MenuItemText>&) {}
    virtual void hide() = 0;
    // Whether a notification area shows the icon now; changes are posted as
    // kTrayHostChanged. Thread-safe.
    virtual bool hasHost() const = 0;
};
// Shows nothing and says so.
std::unique_ptr<TrayBackend> createNullTrayBackend();
// A StatusNotifierItem on the session bus (or on the bus at the address), shown by the
// panel that runs a StatusNotifierWatcher, with its menu as a D-Bus menu the panel draws.
// A panel that asks the program for a menu instead gets WM_RBUTTONUP, and the program
// shows its own menu window at the pointer.
std::unique_ptr<TrayBackend> createStatusNotifierBackend(std::string busAddress = {});
} // namespace ui

// The program's icon in the notification area. Clicks arrive at the window as the
// callback message with wParam the icon id and lParam WM_LBUTTONUP or WM_RBUTTONUP.
// Where no notification area runs, HasTrayHost() is false: a hidden window could not be
// brought back, so closing it should end the program.
class CTrayIcon {
public:
    // The desktop's own tray (StatusNotifierItem).
    CTrayIcon();
    explicit CTrayIcon(std::unique_ptr<ui::TrayBackend> backend);
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Waits briefly (at most a second) for the desktop's answer.
    bool CreateTrayIcon(HWND hwnd, UINT iconId, std::wstring_view tooltip, UINT message);
    void DeleteTrayIcon();
    void SetTooltipText(std::wstring_view tooltip);
    // Kept, and handed to the desktop whenever the icon is shown.
    void SetMenu(std::vector<ui::MenuItemText> items);
    bool IsVisible() const { return m_visible; }
    // True while a notification area shows the icon.
    bool HasTrayHost() const;
    // For backends that deliver clicks on the UI thread.
    void OnIconMouse(UINT mouseMessage);

private:
    std::unique_ptr<ui::TrayBackend> m_backend;
    HWND m_hwnd = nullptr;
    UINT m_message = 0;
    UINT m_iconId = 0;
    bool m_visible = false;
    std::vector<ui::MenuItemText> m_menu;
};
