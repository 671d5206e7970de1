#pragma once

#include "ui/window_impl_base.h"

// The about window: the program's name and version over the main window.
class CAboutWnd : public WindowImplBase {
public:
    const wchar_t* GetWindowClassName() const override { return L"AboutWnd"; }
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;
    // Fills the version label from the language text and the version.
    void ShowVersion();

protected:
    CDuiString GetSkinFile() override { return L"AboutWnd.xml"; }
    const wchar_t* GetTitleTextId() const override { return L"about_title_text"; }
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
};
