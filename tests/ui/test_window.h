#pragma once

#include "platform/message_queue.h"
#include "platform/text.h"
#include "ui/container_ui.h"
#include "ui/ui_driver.h"
#include "ui/window_impl_base.h"

#include <functional>
#include <memory>
#include <string>

namespace testing_support {

// A window built from skin XML given as text, on the off-screen backend.
class TestWindow : public WindowImplBase {
public:
    explicit TestWindow(std::wstring skin) : m_skin(std::move(skin)) {}

    // Opens the window at the given size; false when the skin did not build.
    bool open(int cx = 400, int cy = 300, HWND owner = nullptr)
    {
        return Create(owner, L"test", WS_VISIBLE, 0, 0, 0, cx, cy) != nullptr;
    }

    std::function<CControlUI*(const wchar_t*)> createControl;
    std::function<void(TNotifyUI&)> onNotify;

protected:
    CDuiString GetSkinFile() override { return m_skin; }
    const wchar_t* GetWindowClassName() const override { return L"TestWnd"; }
    CControlUI* CreateControl(const wchar_t* className) override
    {
        return createControl ? createControl(className) : nullptr;
    }
    void Notify(TNotifyUI& msg) override
    {
        if (onNotify)
            onNotify(msg);
        WindowImplBase::Notify(msg);
    }

private:
    std::wstring m_skin;
};

// A window with its driver, closed at the end of the test.
struct OpenWindow {
    explicit OpenWindow(std::wstring skin, int cx = 400, int cy = 300)
        : window(std::make_unique<TestWindow>(std::move(skin)))
    {
        opened = window->open(cx, cy);
        if (opened)
            driver = std::make_unique<ui::UiDriver>(window->GetPaintManager());
    }
    ~OpenWindow()
    {
        driver.reset();
        if (window->GetHWND())
            ui::destroyWindow(window->GetHWND());
    }
    ui::UiDriver& ui() { return *driver; }
    CPaintManagerUI& pm() { return window->GetPaintManager(); }

    std::unique_ptr<TestWindow> window;
    std::unique_ptr<ui::UiDriver> driver;
    bool opened = false;
};

} // namespace testing_support
