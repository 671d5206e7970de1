#pragma once

#include "ui/notify.h"
#include "ui/paint_manager_ui.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ui {

// The control of that name a person can see, else the first of that name (or null). Pages
// of several devices share control names; only the one on show can be reached.
CControlUI* findShownControl(const CPaintManagerUI& manager, std::wstring_view name);

// Drives a window's control tree the way a person would, for tests: finds controls by
// name, clicks, selects, types and reads the notifications that came out. Input travels
// as window messages through the window's own handling, so message maps and the paint
// manager's dispatch run exactly as they do on screen. UI thread only.
class UiDriver : public INotifyUI {
public:
    struct Notification {
        std::wstring type;
        std::wstring sender;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };

    explicit UiDriver(CPaintManagerUI& manager);
    ~UiDriver() override;
    UiDriver(const UiDriver&) = delete;
    UiDriver& operator=(const UiDriver&) = delete;

    CControlUI* find(std::wstring_view name) const;
    template <class T> T* findAs(std::wstring_view name) const
    {
        return dynamic_cast<T*>(find(name));
    }

    // Lays out and paints now, as the next WM_PAINT would.
    void render();
    // Handles every message that is already waiting (timers included once).
    void pump();
    // Runs the message loop until the condition holds or the time-out passes.
    bool waitFor(const std::function<bool()>& condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // False when the control is missing, hidden or has no area.
    bool click(std::wstring_view name);
    bool doubleClick(std::wstring_view name);
    bool clickAt(POINT pt);
    bool doubleClickAt(POINT pt);
    bool moveTo(POINT pt);
    // Opens a combo and clicks its row, or clicks a row of a list.
    bool select(std::wstring_view name, int index);
    // Focuses the control by a click and types the text character by character.
    bool type(std::wstring_view name, std::wstring_view text);
    bool key(WPARAM virtualKey);
    // The key with Ctrl held (Ctrl+V and the like).
    bool controlKey(WPARAM virtualKey);
    // The key with Shift held (Shift+Tab).
    bool shiftKey(WPARAM virtualKey);
    // Types the text into whatever holds the focus, as the keyboard's characters arrive.
    bool chars(std::wstring_view text);
    bool wheel(std::wstring_view name, int delta);
    // The wheel turned with the pointer at pt (over an open drop list, say).
    bool wheelAt(POINT pt, int delta);
    // Drags from one point to another with the button held.
    bool drag(POINT from, POINT to);
    POINT centerOf(std::wstring_view name) const;

    const std::vector<Notification>& notifications() const { return m_notifications; }
    void clearNotifications() { m_notifications.clear(); }
    int count(std::wstring_view type, std::wstring_view sender = {}) const;
    bool saw(std::wstring_view type, std::wstring_view sender = {}) const
    {
        return count(type, sender) > 0;
    }

    bool writePng(const std::filesystem::path& file);

    void Notify(TNotifyUI& msg) override;

private:
    LRESULT send(UINT msg, WPARAM wParam, LPARAM lParam);
    bool windowGone() const;

    CPaintManagerUI& m_manager;
    HWND m_window = nullptr;
    std::vector<Notification> m_notifications;
};

} // namespace ui
