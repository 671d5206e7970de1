#pragma once

#include "ui/ui_types.h"

#include <memory>
#include <string>

namespace ui {
// Shows the icon where the desktop has a notification area. The backend without one
// accepts every call and shows nothing.
class TrayBackend {
public:
    virtual ~TrayBackend() = default;
    virtual bool show(UINT iconId, std::wstring_view tooltip) = 0;
    virtual void setTooltip(std::wstring_view tooltip) = 0;
    virtual void hide() = 0;
};
std::unique_ptr<TrayBackend> createNullTrayBackend();
} // namespace ui

// The program's icon in the notification area. Clicks arrive at the window as the
// callback message with lParam WM_LBUTTONUP or WM_RBUTTONUP.
class CTrayIcon {
public:
    CTrayIcon();
    explicit CTrayIcon(std::unique_ptr<ui::TrayBackend> backend);
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    bool CreateTrayIcon(HWND hwnd, UINT iconId, std::wstring_view tooltip, UINT message);
    void DeleteTrayIcon();
    void SetTooltipText(std::wstring_view tooltip);
    bool IsVisible() const { return m_visible; }
    // Called by the backend for a click on the icon (WM_LBUTTONUP or WM_RBUTTONUP).
    void OnIconMouse(UINT mouseMessage);

private:
    std::unique_ptr<ui::TrayBackend> m_backend;
    HWND m_hwnd = nullptr;
    UINT m_message = 0;
    UINT m_iconId = 0;
    bool m_visible = false;
};
