#include "app/msg_wnd.h"

#include "platform/debug_output.h"
#include "shell/command_routes.h"
#include "ui/paint_manager_ui.h"

void CMsgWnd::InitWindow()
{
    m_closeButton = m_pm.FindControl(L"closebtn");
}

void CMsgWnd::OnFinalMessage(HWND hwnd)
{
    WindowImplBase::OnFinalMessage(hwnd);
    delete this;
}

void CMsgWnd::OnClick(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    const CDuiString name = msg.pSender->GetName();
    if (msg.pSender == m_closeButton)
        Close(0);
    else if (shell::equalsNoCase(name, L"confirm_btn"))
        Close(1);
    else if (shell::equalsNoCase(name, L"cancel_btn"))
        Close(0);
    else if (shell::equalsNoCase(name, L"discard_btn"))
        Close(2);
}

void CMsgWnd::SetTitle(std::wstring_view title)
{
    if (title.empty())
        return;
    if (CControlUI* label = m_pm.FindControl(L"MessageTitle"))
        label->SetText(title);
}

void CMsgWnd::SetMessage(std::wstring_view text, bool textIsId)
{
    if (text.empty())
        return;
    if (CControlUI* label = m_pm.FindControl(L"MessageText")) {
        label->SetResourceText(textIsId);
        label->SetText(text);
    }
}

void CMsgWnd::SetDpi(int dpi)
{
    if (dpi == m_dpi)
        return;
    if (!ui::isAllowedDpi(dpi)) {
        platform::debugOutput(L"MSG_WND DPI SET ERROR");
        dpi = 96;
    }
    m_dpi = dpi;
    CPaintManagerUI::SetAllDPI(dpi);
}

void CMsgWnd::SetButtonMode(int mode)
{
    CControlUI* confirm = m_pm.FindControl(L"confirm_btn");
    CControlUI* cancel = m_pm.FindControl(L"cancel_btn");
    if (mode == 0) {
        if (confirm)
            confirm->SetVisible(true);
        if (cancel)
            cancel->SetVisible(false);
    } else if (mode == 1) {
        if (confirm)
            confirm->SetVisible(true);
        if (cancel)
            cancel->SetVisible(true);
    } else if (mode == 2) {
        // Save and write (1) / discard (2) / cancel (0), for edits not yet kept.
        if (confirm) {
            confirm->SetVisible(true);
            confirm->SetText(L"save_and_write_text");
            // The longer words need room to breathe.
            confirm->SetFixedWidth(128);
        }
        if (CControlUI* discard = m_pm.FindControl(L"discard_btn"))
            discard->SetVisible(true);
        if (cancel)
            cancel->SetVisible(true);
    }
}

LRESULT CMsgWnd::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    bHandled = false;
    if (msg == WM_DPICHANGED) {
        m_pm.SetDPI(LOWORD(wParam));
        m_pm.ResetDPIAssets();
        if (lParam != 0)
            MoveWindow(*reinterpret_cast<const RECT*>(lParam));
        bHandled = true;
    }
    return 0;
}

UINT CMsgWnd::ShowPrompt(HWND owner, const wchar_t* title, const wchar_t* text, int dpi,
                         bool textIsId, int buttonMode)
{
    auto* window = new CMsgWnd();
    constexpr DWORD kStyle = WS_POPUP | WS_CLIPCHILDREN;
    if (!window->Create(owner, L"msgwnd", kStyle, WS_EX_TOOLWINDOW))
        return 0; // deleted at its final message, as the failed creation destroyed it
    window->SetTitle(title ? title : L"");
    window->SetMessage(text ? text : L"", textIsId);
    window->SetDpi(dpi);
    window->SetButtonMode(buttonMode);
    window->CenterWindow();
    return window->ShowModal();
}
