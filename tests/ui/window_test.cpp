#include "test_window.h"

#include "ui/button_ui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::OpenWindow;
using testing_support::TestWindow;

namespace {

const wchar_t* kCaptionSkin = LR"(<Window size="300,200"><VerticalLayout name="root">
    <HorizontalLayout height="30">
      <Button name="minbtn" width="30"/><Button name="maxbtn" width="30"/>
      <Button name="restorebtn" width="30" visible="false"/><Button name="closebtn" width="30"/>
      <Button name="okbtn" width="30"/>
    </HorizontalLayout>
    <Button name="inner" height="30" virtualwnd="mainpage"/>
  </VerticalLayout></Window>)";

class MapWindow : public TestWindow {
public:
    MapWindow() : TestWindow(kCaptionSkin) {}
    DUI_DECLARE_MESSAGE_MAP()
    void OnOk(TNotifyUI&) { ++okClicks; }
    void OnAnyClick(TNotifyUI& msg)
    {
        if (msg.pSender->GetName() == L"closebtn")
            ++interceptedCloses;
        else
            WindowImplBase::OnClick(msg);
    }
    int okClicks = 0;
    int interceptedCloses = 0;
};

DUI_BEGIN_MESSAGE_MAP(MapWindow, WindowImplBase)
DUI_ON_CLICK_CTRNAME(L"okbtn", OnOk)
DUI_ON_MSGTYPE(L"click", OnAnyClick)
DUI_END_MESSAGE_MAP()

class Page : public CNotifyPump {
public:
    DUI_DECLARE_MESSAGE_MAP()
    void OnClick(TNotifyUI&) { ++clicks; }
    int clicks = 0;
};

DUI_BEGIN_MESSAGE_MAP(Page, CNotifyPump)
DUI_ON_MSGTYPE(L"click", OnClick)
DUI_END_MESSAGE_MAP()

} // namespace

TEST(WindowImplBase, CaptionButtonsCloseAndResize)
{
    OpenWindow w(kCaptionSkin);
    ASSERT_TRUE(w.opened);
    const HWND hwnd = w.window->GetHWND();
    w.ui().click(L"maxbtn");
    EXPECT_TRUE(w.window->IsZoomed());
    EXPECT_FALSE(w.ui().find(L"maxbtn")->IsVisible());
    EXPECT_TRUE(w.ui().find(L"restorebtn")->IsVisible());
    w.ui().click(L"restorebtn");
    EXPECT_FALSE(w.window->IsZoomed());
    EXPECT_EQ(w.window->GetWindowRect().right, 400) << "back to the size it had";
    w.ui().click(L"minbtn");
    EXPECT_TRUE(w.window->IsIconic());
    w.ui().click(L"closebtn");
    w.ui().waitFor([&] { return !platform::isWindow(hwnd); });
    EXPECT_FALSE(platform::isWindow(hwnd));
}

TEST(WindowImplBase, MessageMapRunsBeforeTheLibraryClickHandling)
{
    MapWindow window;
    ASSERT_TRUE(window.open());
    ui::UiDriver driver(window.GetPaintManager());
    driver.click(L"okbtn");
    EXPECT_EQ(window.okClicks, 1);
    driver.click(L"closebtn");
    driver.pump();
    EXPECT_EQ(window.interceptedCloses, 1);
    EXPECT_TRUE(platform::isWindow(window.GetHWND())) << "the window intercepted the close";
    ui::destroyWindow(window.GetHWND());
}

TEST(WindowImplBase, VirtualWindowsGetTheirControlsNotifications)
{
    MapWindow window;
    ASSERT_TRUE(window.open());
    Page page;
    window.AddVirtualWnd(L"mainpage", &page);
    ui::UiDriver driver(window.GetPaintManager());
    // The window's own "click" entry takes it first; a map without a match passes it on.
    driver.click(L"inner");
    EXPECT_EQ(page.clicks, 0);
    TNotifyUI msg;
    msg.sType = L"itemselect";
    msg.pSender = driver.find(L"inner");
    msg.sVirtualWnd = L"mainpage";
    EXPECT_FALSE(window.NotifyPump(msg));
    msg.sType = L"click";
    EXPECT_TRUE(page.NotifyPump(msg));
    EXPECT_EQ(page.clicks, 1);
    EXPECT_TRUE(window.RemoveVirtualWnd(L"MAINPAGE"));
    ui::destroyWindow(window.GetHWND());
}

TEST(ShowModal, ReturnsTheCodeGivenToCloseWhileOtherWindowsKeepWorking)
{
    OpenWindow owner(kCaptionSkin);
    ASSERT_TRUE(owner.opened);
    TestWindow dialog(kCaptionSkin);
    ASSERT_NE(dialog.Create(owner.window->GetHWND(), L"dialog", 0, 0, 0, 0, 100, 100), nullptr);
    // The owner's control timer keeps firing during the modal loop; its handler closes it.
    int ownerTimers = 0;
    owner.window->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"timer" && ++ownerTimers == 3) {
            EXPECT_FALSE(owner.window->IsInputEnabled());
            dialog.Close(7);
        }
    };
    owner.pm().SetTimer(owner.ui().find(L"okbtn"), 1, 1);
    EXPECT_EQ(dialog.ShowModal(), 7u);
    EXPECT_EQ(ownerTimers, 3);
    EXPECT_TRUE(owner.window->IsInputEnabled());
    owner.pm().KillTimer(owner.ui().find(L"okbtn"), 1);
}

TEST(ShowModal, QuitEndsTheNestedLoopAndReachesTheOuterLoop)
{
    TestWindow dialog(kCaptionSkin);
    ASSERT_TRUE(dialog.open());
    dialog.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"windowinit")
            platform::postQuitMessage(3);
    };
    dialog.ShowModal();
    EXPECT_TRUE(platform::MessageQueue::current().quitPending());
    EXPECT_EQ(platform::MessageQueue::current().takeQuit(), 3);
    ui::destroyWindow(dialog.GetHWND());
}

TEST(ShowModal, AWindowThatDeletesItselfOnItsFinalMessage)
{
    struct SelfDeleting : TestWindow {
        using TestWindow::TestWindow;
        void OnFinalMessage(HWND hwnd) override
        {
            TestWindow::OnFinalMessage(hwnd);
            delete this;
        }
    };
    auto* dialog = new SelfDeleting(kCaptionSkin);
    ASSERT_TRUE(dialog->open());
    dialog->PostMessage(WM_CLOSE, 1, 0);
    EXPECT_EQ(dialog->ShowModal(), 1u);
}

TEST(CWindowWnd, AWindowClosedUnderItsOwnClickIsFreedOnlyAfterTheClickReturns)
{
    // A popup that shows a prompt from its click loses the focus to it and closes in the
    // prompt's loop; freeing it there sent the click back into freed memory.
    struct Popup : TestWindow {
        Popup(std::vector<std::string>& log) : TestWindow(kCaptionSkin), log(log) {}
        ~Popup() override { log.push_back("freed"); }
        void OnFinalMessage(HWND hwnd) override
        {
            TestWindow::OnFinalMessage(hwnd);
            delete this;
        }
        std::vector<std::string>& log;
    };
    OpenWindow owner(kCaptionSkin);
    ASSERT_TRUE(owner.opened);
    std::vector<std::string> log;
    auto* popup = new Popup(log);
    ASSERT_TRUE(popup->open(300, 200, owner.window->GetHWND()));
    const HWND popupHandle = popup->GetHWND();
    popup->onNotify = [&log, popup, owner = owner.window->GetHWND()](TNotifyUI& msg) {
        if (msg.sType != L"click" || msg.pSender->GetName() != L"okbtn")
            return;
        TestWindow prompt(kCaptionSkin);
        ASSERT_TRUE(prompt.open(100, 100, owner));
        popup->Close(IDCANCEL); // its focus loss
        prompt.Close(IDOK);     // the answer
        prompt.ShowModal();
        log.push_back(platform::isWindow(popup->GetHWND()) ? "click returned, still open"
                                                           : "click returned");
    };
    ui::UiDriver(popup->GetPaintManager()).click(L"okbtn");
    EXPECT_EQ(log, (std::vector<std::string>{"click returned", "freed"}));
    EXPECT_FALSE(platform::isWindow(popupHandle));
}

TEST(CWindowWnd, DoubleClicksReachOnlyWindowsWhoseClassAsksForThem)
{
    struct NoDoubleClicks : TestWindow {
        using TestWindow::TestWindow;
        UINT GetClassStyle() const override { return 0; }
    };
    NoDoubleClicks window(
        LR"(<Window><List name="root"><ListLabelElement name="row" height="30"/></List></Window>)");
    ASSERT_TRUE(window.open());
    ui::UiDriver driver(window.GetPaintManager());
    driver.doubleClick(L"row");
    EXPECT_EQ(driver.count(L"itemactivate"), 0);
    EXPECT_EQ(driver.count(L"itemclick"), 2);
    ui::destroyWindow(window.GetHWND());

    OpenWindow normal(
        LR"(<Window><List name="root"><ListLabelElement name="row" height="30"/></List></Window>)");
    ASSERT_TRUE(normal.opened);
    normal.ui().doubleClick(L"row");
    EXPECT_EQ(normal.ui().count(L"itemactivate"), 1);
}

TEST(WindowSize, TheLargestScaleStepThatFitsTheWorkAreaIsTaken)
{
    // The main window's layout is 1000 x 640 at 96 DPI: at 200 % on a 1080-line screen it was
    // 2000 x 1280, larger than the screen.
    struct Case {
        RECT area;
        int wanted;
        int expected;
    };
    const Case cases[] = {
        {RECT{0, 0, 1920, 1080}, 192, 144},  // 168 would be 1120 high
        {RECT{0, 0, 1920, 1080}, 144, 144},  // exactly what was asked
        {RECT{0, 0, 1920, 1080}, 96, 96},    // never larger than asked
        {RECT{0, 0, 3840, 2160}, 192, 192},  // room for all of it
        {RECT{0, 0, 2560, 1380}, 192, 192},  // a panel's 60 lines taken, 1280 still fits
        {RECT{0, 0, 1600, 900}, 192, 120},   // 1250 x 800
        {RECT{0, 30, 1366, 768}, 96, 96},    // 738 lines under a panel hold 640
        {RECT{0, 0, 1024, 600}, 96, 72},     // a netbook: smaller than 100 % rather than cut
        {RECT{1920, 0, 2320, 300}, 144, 48}, // nothing fits: the smallest step
        {RECT{0, 0, 1000, 640}, 96, 96},     // a fit to the pixel counts
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::dpiThatFits(SIZE{1000, 640}, c.area, c.wanted), c.expected)
            << c.area.right - c.area.left << "x" << c.area.bottom - c.area.top << " at "
            << c.wanted;
}
