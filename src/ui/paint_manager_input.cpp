#include "ui/paint_manager_ui.h"

#include "platform/message_queue.h"
#include "ui/focus_order.h"
#include "ui/paint_manager_shared.h"
#include "ui/popup_ui.h"
#include "ui/window_backend.h"
#include "ui/window_wnd.h"

#include <algorithm>

// The window's messages turned into control events: mouse, keys, focus, the caption and the
// tooltip.

using ui::detail::tickCount;

namespace {

constexpr UINT_PTR kToolTipTimer = kControlTimerBase - 1;
constexpr auto kToolTipDelay = std::chrono::milliseconds(500);

TEventUI makeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0)
{
    TEventUI event;
    event.Type = type;
    event.pSender = sender;
    event.dwTimestamp = tickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    return event;
}

} // namespace

bool CPaintManagerUI::IsCaptionAt(POINT pt) const
{
    if (m_rcCaption.bottom <= 0 && m_rcCaption.top <= 0)
        return false;
    const SIZE client = GetClientSize();
    const RECT caption{Scale(m_rcCaption.left), Scale(m_rcCaption.top),
                       client.cx - Scale(m_rcCaption.right), Scale(m_rcCaption.bottom)};
    if (!PtInRect(caption, pt))
        return false;
    for (CControlUI* control = FindControl(pt); control; control = control->GetParent()) {
        for (const wchar_t* clickable : {L"Button", L"Edit", L"Combo", L"Slider", L"ListItem"}) {
            if (control->GetInterface(clickable))
                return false;
        }
    }
    return true;
}

void CPaintManagerUI::SetFocus(CControlUI* control)
{
    if (control && (!control->IsVisible() || !control->IsEnabled()))
        control = nullptr;
    if (control == m_pFocus)
        return;
    invalidateFocusRing();
    const auto alive = control ? control->GetLifetime() : std::weak_ptr<const int>();
    if (CControlUI* old = m_pFocus) {
        m_pFocus = nullptr;
        TEventUI event;
        event.Type = UIEVENT_KILLFOCUS;
        event.pSender = control;
        event.dwTimestamp = tickCount();
        old->Event(event);
    }
    // The old control's handler may have moved focus itself, or deleted the new one.
    if (m_pFocus || (control && alive.expired()))
        return;
    m_pFocus = control;
    if (control) {
        TEventUI event;
        event.Type = UIEVENT_SETFOCUS;
        event.pSender = control;
        event.dwTimestamp = tickCount();
        control->Event(event);
    }
    invalidateFocusRing();
}

bool CPaintManagerUI::SetNextTabControl(bool forward)
{
    if (!m_pRoot)
        return false;
    // Reading order needs the current layout.
    if (m_bUpdateNeeded)
        layOut();
    CControlUI* next = ui::nextTabStop(ui::tabStops(m_pRoot), m_pFocus, forward);
    if (!next)
        return false;
    SetFocus(next);
    showFocusRing(true);
    return true;
}

void CPaintManagerUI::showFocusRing(bool show)
{
    if (show == m_focusRingShown)
        return;
    invalidateFocusRing();
    m_focusRingShown = show;
    invalidateFocusRing();
}

bool CPaintManagerUI::handleNavigationKey(WPARAM key)
{
    if (key == VK_TAB) {
        SetNextTabControl(!m_shiftDown);
        return true;
    }
    auto* popup = m_pPopup ? static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")) : nullptr;
    if (key == VK_ESCAPE) {
        // An open list closes first; otherwise the window decides (a dialog closes).
        if (!popup)
            return false;
        popup->ClosePopup();
        return true;
    }
    if (popup && m_pFocus != m_pPopup && (key == VK_UP || key == VK_DOWN || key == VK_RETURN)) {
        // The open list takes the keys even when focus moved inside it.
        auto event = makeEvent(UIEVENT_KEYDOWN, m_pPopup, m_lastMouse, key);
        event.chKey = static_cast<wchar_t>(key);
        m_pPopup->Event(event);
        return true;
    }
    // Keys that move or act show where the focus is.
    if (m_pFocus && (key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT))
        showFocusRing(true);
    return false;
}

void CPaintManagerUI::handleMouse(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_lastMouse = pt;
    auto* popup = m_pPopup ? static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")) : nullptr;
    const bool inPopup = popup && PtInRect(m_rcPopup, pt);
    CControlUI* target = inPopup ? popup->PopupControlAt(pt) : (popup ? nullptr : FindControl(pt));

    switch (msg) {
    case WM_MOUSEMOVE: {
        if (m_tooltip) {
            m_tooltip.reset();
            Invalidate();
        }
        if (m_hWndPaint)
            platform::setTimer(m_hWndPaint, kToolTipTimer, kToolTipDelay);
        if (popup && !inPopup)
            target = FindControl(pt) == m_pPopup ? m_pPopup : nullptr;
        if (target != m_pEventHover) {
            if (CControlUI* old = m_pEventHover) {
                m_pEventHover = nullptr;
                auto leave = makeEvent(UIEVENT_MOUSELEAVE, old, pt);
                old->Event(leave);
            }
            m_pEventHover = target;
            if (target) {
                auto enter = makeEvent(UIEVENT_MOUSEENTER, target, pt);
                target->Event(enter);
            }
        }
        CControlUI* receiver = m_pEventClick ? m_pEventClick : m_pEventHover;
        if (receiver) {
            auto move = makeEvent(UIEVENT_MOUSEMOVE, receiver, pt, wParam, lParam);
            receiver->Event(move);
        }
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        HideToolTip();
        if (popup && !inPopup) {
            // A press outside the open list only closes it.
            popup->ClosePopup();
            if (FindControl(pt) == m_pPopup || !m_pPopup)
                return;
            return;
        }
        showFocusRing(false);
        if (!target)
            return;
        if (!inPopup) {
            const auto alive = target->GetLifetime();
            SetFocus(target);
            if (alive.expired())
                return;
        }
        m_pEventClick = target;
        auto event = makeEvent(msg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK,
                               target, pt, wParam, lParam);
        target->Event(event);
        return;
    }
    case WM_LBUTTONUP: {
        CControlUI* click = m_pEventClick;
        m_pEventClick = nullptr;
        if (click) {
            auto event = makeEvent(UIEVENT_BUTTONUP, click, pt, wParam, lParam);
            click->Event(event);
        }
        return;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        HideToolTip();
        if (target) {
            auto event = makeEvent(msg == WM_RBUTTONDOWN ? UIEVENT_RBUTTONDOWN : UIEVENT_RBUTTONUP,
                                   target, pt, wParam, lParam);
            target->Event(event);
        }
        return;
    case WM_MOUSEWHEEL:
        if (target) {
            auto event = makeEvent(UIEVENT_SCROLLWHEEL, target, pt, wParam, lParam);
            target->Event(event);
        }
        return;
    default:
        return;
    }
}

void CPaintManagerUI::HideToolTip()
{
    if (m_hWndPaint)
        platform::killTimer(m_hWndPaint, kToolTipTimer);
    if (m_tooltip) {
        m_tooltip.reset();
        Invalidate();
    }
}

bool CPaintManagerUI::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    if (msg == WM_TIMER && wParam == ui::detail::kPacedPaintTimer) {
        flushPacedDamage();
        return true;
    }
    switch (msg) {
    case WM_PAINT:
        handlePaint(wParam);
        return true;
    case WM_NCHITTEST:
        result =
            IsCaptionAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) ? HTCAPTION : HTCLIENT;
        return true;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED)
            return false;
        SetClientSize(SIZE{LOWORD(static_cast<std::uintptr_t>(lParam)),
                           HIWORD(static_cast<std::uintptr_t>(lParam))});
        if (m_pRoot && !m_bFirstLayout)
            SendNotify(m_pRoot, L"windowsize");
        return false;
    case WM_TIMER:
        if (wParam == kToolTipTimer) {
            platform::killTimer(m_hWndPaint, kToolTipTimer);
            // Never over an open list (a combo's own tip would cover it), nor on a window
            // that waits for its dialog.
            const CWindowWnd* window = ui::windowFromHandle(m_hWndPaint);
            const bool waiting = window && !window->IsInputEnabled();
            if (m_pEventHover && !m_pEventClick && !m_pPopup && !waiting) {
                const CDuiString text = m_pEventHover->GetToolTip();
                if (!text.empty()) {
                    m_tooltip = ToolTip{m_pEventHover->GetToolTipTitle(), text, m_lastMouse};
                    Invalidate();
                }
            }
            return true;
        }
        if (wParam >= kControlTimerBase) {
            handleTimer(wParam);
            return true;
        }
        return false;
    case ui::detail::kAsyncNotifyMessage: {
        auto pending = std::move(m_asyncNotify);
        m_asyncNotify.clear();
        for (auto& notify : pending)
            SendNotify(notify, false);
        return true;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEWHEEL:
        // Hit tests need the current layout.
        if (m_bUpdateNeeded)
            layOut();
        handleMouse(msg, wParam, lParam);
        return true;
    case WM_MOUSELEAVE:
        if (CControlUI* old = m_pEventHover) {
            m_pEventHover = nullptr;
            auto leave = makeEvent(UIEVENT_MOUSELEAVE, old, m_lastMouse);
            old->Event(leave);
        }
        HideToolTip();
        return false;
    case WM_KEYDOWN:
        HideToolTip();
        if (wParam == VK_SHIFT) {
            m_shiftDown = true;
            return true;
        }
        if (wParam == VK_CONTROL) {
            m_controlDown = true;
            return true;
        }
        if (handleNavigationKey(wParam))
            return true;
        // Esc is the window's: a dialog closes, as with its close button.
        if (wParam == VK_ESCAPE)
            return false;
        if (m_pFocus) {
            auto event = makeEvent(UIEVENT_KEYDOWN, m_pFocus, m_lastMouse, wParam, lParam);
            event.chKey = static_cast<wchar_t>(wParam);
            event.wKeyState = static_cast<std::uint16_t>((m_shiftDown ? MK_SHIFT : 0) |
                                                         (m_controlDown ? MK_CONTROL : 0));
            m_pFocus->Event(event);
            return true;
        }
        return false;
    case WM_KEYUP:
        if (wParam == VK_SHIFT)
            m_shiftDown = false;
        if (wParam == VK_CONTROL)
            m_controlDown = false;
        if (m_pFocus) {
            auto event = makeEvent(UIEVENT_KEYUP, m_pFocus, m_lastMouse, wParam, lParam);
            event.chKey = static_cast<wchar_t>(wParam);
            m_pFocus->Event(event);
            return true;
        }
        return false;
    case WM_CHAR:
        if (m_pFocus) {
            auto event = makeEvent(UIEVENT_CHAR, m_pFocus, m_lastMouse, wParam, lParam);
            event.chKey = static_cast<wchar_t>(wParam);
            m_pFocus->Event(event);
            return true;
        }
        return false;
    case WM_KILLFOCUS:
        HideToolTip();
        m_shiftDown = false;
        m_controlDown = false;
        if (m_pPopup) {
            if (auto* popup = static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")))
                popup->ClosePopup();
        }
        return false;
    default:
        return false;
    }
}
