#pragma once

#include "ui/window_impl_base.h"

#include <string_view>

// The modal prompt: a title, a message and one or two buttons over the asking window.
// Result: 1 when "confirm_btn" closed it, 2 for "discard_btn", 0 for "cancel_btn" or
// "closebtn".
class CMsgWnd : public WindowImplBase {
public:
    const wchar_t* GetWindowClassName() const override { return L"MsgWnd"; }
    void InitWindow() override;
    void OnFinalMessage(HWND hwnd) override;
    void OnClick(TNotifyUI& msg) override;

    void SetTitle(std::wstring_view title);
    void SetMessage(std::wstring_view text, bool textIsId);
    // Outside the allowed values 96 is used.
    void SetDpi(int dpi);
    // 0: one button (a notice), 1: two (a question), 2: save and write / discard / cancel;
    // others leave the skin's buttons.
    void SetButtonMode(int mode);

    // Creates, fills and runs a prompt; null or empty title and text keep the skin's.
    static UINT ShowPrompt(HWND owner, const wchar_t* title, const wchar_t* text, int dpi,
                           bool textIsId, int buttonMode);

protected:
    CDuiString GetSkinFile() override { return L"XML_MSG"; }
    const wchar_t* GetTitleTextId() const override { return L"msg_title_text"; }
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    CControlUI* m_closeButton = nullptr;
    int m_dpi = 96;
};
