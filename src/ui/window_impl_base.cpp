#include "ui/window_impl_base.h"

#include "platform/debug_output.h"
#include "ui/control_ui.h"

DUI_BEGIN_MESSAGE_MAP(WindowImplBase, CNotifyPump)
DUI_ON_MSGTYPE(L"click", OnClick)
DUI_END_MESSAGE_MAP()

WindowImplBase::~WindowImplBase()
{
    // While this window's paint manager still lives: an owned menu holds it.
    ui::destroyOwnedWindows(m_hWnd);
    m_pm.RemoveNotifier(this);
}

void WindowImplBase::OnFinalMessage(HWND)
{
    m_pm.RemoveNotifier(this);
}

void WindowImplBase::Notify(TNotifyUI& msg)
{
    NotifyPump(msg);
}

void WindowImplBase::OnClick(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    const CDuiString name = msg.pSender->GetName();
    if (name == L"closebtn")
        Close();
    else if (name == L"minbtn")
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn")
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn")
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&)
{
    m_pm.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile(), nullptr, this, &m_pm);
    if (!root) {
        platform::debugOutput(L"window skin could not be built: " + std::wstring(GetSkinFile()));
        return -1;
    }
    m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    InitWindow();
    RefreshTitle();
    return 0;
}

void WindowImplBase::RefreshTitle()
{
    if (const wchar_t* id = GetTitleTextId())
        SetWindowText(std::wstring(CResourceManager::GetInstance()->GetText(id)));
}

void WindowImplBase::OnManagerClose()
{
    CControlUI* closeButton = m_pm.FindControl(L"closebtn");
    if (closeButton && closeButton->IsVisible() && closeButton->IsEnabled())
        closeButton->Activate();
    else
        SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool&)
{
    // A window that deletes itself when closed is gone when the close returns.
    if (wParam == SC_CLOSE)
        return CWindowWnd::HandleMessage(msg, wParam, lParam);
    const bool zoomed = IsZoomed();
    const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
    if (zoomed != IsZoomed())
        ShowSizeButtons(IsZoomed());
    return result;
}

void WindowImplBase::ShowSizeButtons(bool maximized)
{
    // The caption buttons follow the maximised state.
    if (CControlUI* maxButton = m_pm.FindControl(L"maxbtn"))
        maxButton->SetVisible(!maximized);
    if (CControlUI* restoreButton = m_pm.FindControl(L"restorebtn"))
        restoreButton->SetVisible(maximized);
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = true;
    switch (msg) {
    case WM_CREATE:
        result = OnCreate(msg, wParam, lParam, handled);
        break;
    case WM_CLOSE:
        result = OnClose(msg, wParam, lParam, handled);
        break;
    case WM_DESTROY:
        result = OnDestroy(msg, wParam, lParam, handled);
        break;
    case WM_NCACTIVATE:
        result = OnNcActivate(msg, wParam, lParam, handled);
        break;
    case WM_GETMINMAXINFO:
        result = OnGetMinMaxInfo(msg, wParam, lParam, handled);
        break;
    case WM_SIZE:
        // The window manager may maximise or restore the window too.
        if (wParam != SIZE_MINIMIZED)
            ShowSizeButtons(IsZoomed());
        result = OnSize(msg, wParam, lParam, handled);
        break;
    case WM_SYSCOMMAND:
        result = OnSysCommand(msg, wParam, lParam, handled);
        break;
    case WM_MANAGERCLOSE:
        OnManagerClose();
        break;
    case WM_MOUSEWHEEL:
        result = OnMouseWheel(msg, wParam, lParam, handled);
        break;
    case WM_MOUSEHOVER:
        result = OnMouseHover(msg, wParam, lParam, handled);
        break;
    case WM_LBUTTONDOWN:
        result = OnLButtonDown(msg, wParam, lParam, handled);
        break;
    case WM_LBUTTONUP:
        result = OnLButtonUp(msg, wParam, lParam, handled);
        break;
    case WM_MOUSEMOVE:
        result = OnMouseMove(msg, wParam, lParam, handled);
        break;
    case WM_KEYDOWN:
        result = OnKeyDown(msg, wParam, lParam, handled);
        break;
    case WM_KILLFOCUS:
        result = OnKillFocus(msg, wParam, lParam, handled);
        break;
    case WM_SETFOCUS:
        result = OnSetFocus(msg, wParam, lParam, handled);
        break;
    default:
        handled = false;
        break;
    }
    if (handled)
        return result;
    result = HandleCustomMessage(msg, wParam, lParam, handled);
    if (handled)
        return result;
    if (m_pm.MessageHandler(msg, wParam, lParam, result))
        return result;
    // Esc leaves a dialog the way its close button does; the main window has no owner.
    if (msg == WM_KEYDOWN && wParam == VK_ESCAPE && GetOwner()) {
        OnManagerClose();
        return 0;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}
