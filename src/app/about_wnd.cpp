#include "app/about_wnd.h"

#include "platform/message_queue.h"
#include "shell/command_routes.h"
#include "shell/main_messages.h"
#include "ui/paint_manager_ui.h"
#include "update/update_check.h"
#include "update/update_model.h"

void CAboutWnd::InitWindow()
{
    ShowVersion();
}

void CAboutWnd::ShowVersion()
{
    CControlUI* label = m_pm.FindControl(L"software_ver_label");
    CControlUI* lookup = m_pm.FindControl(L"text_test");
    if (!label || !lookup)
        return;
    lookup->SetResourceText(true);
    lookup->SetText(L"software_rev_text");
    label->SetResourceText(false);
    // The version the update list shows too.
    label->SetText(std::wstring(lookup->GetText()) +
                   update::applicationVersionLabel(update::applicationVersionText()));
}

void CAboutWnd::OnClick(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    const CDuiString name = msg.pSender->GetName();
    if (shell::equalsNoCase(name, L"closebtn"))
        Close(IDOK);
    else if (shell::equalsNoCase(name, L"minbtn"))
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (shell::equalsNoCase(name, L"maxbtn"))
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (shell::equalsNoCase(name, L"restorebtn"))
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

LRESULT CAboutWnd::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    if (wParam == SC_CLOSE) {
        // Alt+F4 ends the application, but through the main window's own close, so its
        // shutdown runs: close this window, then ask the owner to close.
        const HWND owner = GetOwner();
        Close(IDCANCEL);
        if (owner)
            platform::postMessage(owner, WM_CLOSE, 0, 0);
        return 0;
    }
    return WindowImplBase::OnSysCommand(msg, wParam, lParam, bHandled);
}

LRESULT CAboutWnd::HandleCustomMessage(UINT msg, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    if (msg == shell::MSG_LANGUAGE_CHANGED) {
        ShowVersion();
        RefreshTitle();
        m_pm.NeedUpdate();
        m_pm.Invalidate();
        bHandled = true;
    }
    return 0;
}
