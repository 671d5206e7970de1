#pragma once

#include "ui/window_impl_base.h"

namespace app {

// The main window until its own Part is built: shows the "XML_MAIN" skin, comes to the
// front when a second start wakes it, and ends the program when it closes.
class PlaceholderMainWnd : public WindowImplBase {
public:
    const wchar_t* GetWindowClassName() const override { return L"MainWnd"; }

    void InitWindow() override;

protected:
    CDuiString GetSkinFile() override { return L"XML_MAIN"; }
    LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    void comeForward(WPARAM wParam, LPARAM lParam);
};

} // namespace app
