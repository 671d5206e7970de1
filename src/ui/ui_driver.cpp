#include "ui/ui_driver.h"

#include "platform/message_queue.h"
#include "ui/combo_ui.h"
#include "ui/list_ui.h"

namespace ui {

UiDriver::UiDriver(CPaintManagerUI& manager)
    : m_manager(manager), m_window(manager.GetPaintWindow())
{
    m_manager.AddNotifier(this);
}

UiDriver::~UiDriver()
{
    if (!windowGone())
        m_manager.RemoveNotifier(this);
}

bool UiDriver::windowGone() const
{
    // A window may delete itself (and its manager) when input closes it.
    return m_window && !platform::isWindow(m_window);
}

CControlUI* findShownControl(const CPaintManagerUI& manager, std::wstring_view name)
{
    CControlUI* first = manager.FindControl(name);
    if (!first || first->IsVisible() || !manager.GetRoot())
        return first;
    CControlUI* shown = manager.GetRoot()->FindControl(
        [](CControlUI* control, void* data) -> CControlUI* {
            return control->IsVisible() &&
                           control->GetName() == *static_cast<std::wstring_view*>(data)
                       ? control
                       : nullptr;
        },
        &name, UIFIND_ALL);
    return shown ? shown : first;
}

CControlUI* UiDriver::find(std::wstring_view name) const
{
    return findShownControl(m_manager, name);
}

void UiDriver::render()
{
    m_manager.Paint();
}

void UiDriver::pump()
{
    platform::MessageQueue::current().pumpPending();
}

bool UiDriver::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    return platform::MessageQueue::current().runUntil(condition,
                                                      std::chrono::steady_clock::now() + timeout);
}

LRESULT UiDriver::send(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (windowGone())
        return 0;
    if (m_window)
        return platform::sendMessage(m_window, msg, wParam, lParam);
    LRESULT result = 0;
    m_manager.MessageHandler(msg, wParam, lParam, result);
    return result;
}

POINT UiDriver::centerOf(std::wstring_view name) const
{
    CControlUI* control = find(name);
    if (!control)
        return POINT{-1, -1};
    const RECT rc = control->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

bool UiDriver::moveTo(POINT pt)
{
    send(WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    return true;
}

bool UiDriver::clickAt(POINT pt)
{
    moveTo(pt);
    send(WM_LBUTTONDOWN, 1, MAKELPARAM(pt.x, pt.y));
    send(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    return true;
}

bool UiDriver::doubleClickAt(POINT pt)
{
    clickAt(pt);
    send(WM_LBUTTONDBLCLK, 1, MAKELPARAM(pt.x, pt.y));
    send(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    return true;
}

namespace {
bool clickable(CControlUI* control)
{
    if (!control || !control->IsVisible())
        return false;
    const RECT rc = control->GetPos();
    return rc.right > rc.left && rc.bottom > rc.top;
}
} // namespace

bool UiDriver::click(std::wstring_view name)
{
    render();
    CControlUI* control = find(name);
    if (!clickable(control))
        return false;
    return clickAt(centerOf(name));
}

bool UiDriver::doubleClick(std::wstring_view name)
{
    render();
    CControlUI* control = find(name);
    if (!clickable(control))
        return false;
    return doubleClickAt(centerOf(name));
}

bool UiDriver::select(std::wstring_view name, int index)
{
    render();
    CControlUI* control = find(name);
    if (!clickable(control))
        return false;
    if (auto* combo = dynamic_cast<CComboUI*>(control)) {
        if (!combo->IsDropped())
            clickAt(centerOf(name));
        CControlUI* row = combo->GetItemAt(index);
        if (!combo->IsDropped() || !row || !row->IsVisible() || !row->IsEnabled()) {
            combo->ClosePopup();
            return false;
        }
        // Wheel the open list until the row shows, as a person would.
        const RECT popup = m_manager.GetPopupRect();
        const POINT middle{(popup.left + popup.right) / 2, (popup.top + popup.bottom) / 2};
        for (int turn = 0; turn <= combo->GetCount(); ++turn) {
            const RECT rc = row->GetPos();
            const POINT center{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
            if (PtInRect(popup, center))
                return clickAt(center);
            const int delta = center.y < popup.top ? 120 : -120;
            send(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16,
                 MAKELPARAM(middle.x, middle.y));
        }
        combo->ClosePopup();
        return false;
    }
    if (auto* list = dynamic_cast<CListUI*>(control)) {
        CControlUI* row = list->GetItemAt(index);
        if (!row || !row->IsVisible())
            return false;
        list->EnsureVisible(index);
        render();
        const RECT rc = row->GetPos();
        return clickAt(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
    }
    return false;
}

bool UiDriver::type(std::wstring_view name, std::wstring_view text)
{
    if (!click(name))
        return false;
    for (const wchar_t c : text)
        send(WM_CHAR, c, 0);
    return true;
}

bool UiDriver::key(WPARAM virtualKey)
{
    send(WM_KEYDOWN, virtualKey, 0);
    send(WM_KEYUP, virtualKey, 0);
    return true;
}

bool UiDriver::controlKey(WPARAM virtualKey)
{
    send(WM_KEYDOWN, VK_CONTROL, 0);
    key(virtualKey);
    send(WM_KEYUP, VK_CONTROL, 0);
    return true;
}

bool UiDriver::shiftKey(WPARAM virtualKey)
{
    send(WM_KEYDOWN, VK_SHIFT, 0);
    key(virtualKey);
    send(WM_KEYUP, VK_SHIFT, 0);
    return true;
}

bool UiDriver::chars(std::wstring_view text)
{
    for (const wchar_t c : text)
        send(WM_CHAR, c, 0);
    return true;
}

bool UiDriver::wheel(std::wstring_view name, int delta)
{
    render();
    CControlUI* control = find(name);
    if (!clickable(control))
        return false;
    return wheelAt(centerOf(name), delta);
}

bool UiDriver::wheelAt(POINT pt, int delta)
{
    render();
    moveTo(pt);
    send(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16,
         MAKELPARAM(pt.x, pt.y));
    return true;
}

bool UiDriver::drag(POINT from, POINT to)
{
    render();
    moveTo(from);
    send(WM_LBUTTONDOWN, 1, MAKELPARAM(from.x, from.y));
    const POINT middle{(from.x + to.x) / 2, (from.y + to.y) / 2};
    send(WM_MOUSEMOVE, 1, MAKELPARAM(middle.x, middle.y));
    send(WM_MOUSEMOVE, 1, MAKELPARAM(to.x, to.y));
    send(WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    return true;
}

int UiDriver::count(std::wstring_view type, std::wstring_view sender) const
{
    int n = 0;
    for (const auto& notification : m_notifications) {
        if (notification.type == type && (sender.empty() || notification.sender == sender))
            ++n;
    }
    return n;
}

bool UiDriver::writePng(const std::filesystem::path& file)
{
    render();
    return m_manager.GetCanvas() && m_manager.GetCanvas()->writePng(file);
}

void UiDriver::Notify(TNotifyUI& msg)
{
    m_notifications.push_back(
        Notification{msg.sType, msg.pSender ? std::wstring(msg.pSender->GetName()) : std::wstring(),
                     msg.wParam, msg.lParam});
}

} // namespace ui
