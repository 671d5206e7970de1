#include "test_window.h"

#include "ui/resource_manager.h"

#include <gtest/gtest.h>

using testing_support::OpenWindow;
using testing_support::TestWindow;

namespace {

const wchar_t* kDialogSkin = LR"(<Window size="200,120"><VerticalLayout>
    <Button name="closebtn" height="30"/><Button name="okbtn" height="30"/>
  </VerticalLayout></Window>)";
const wchar_t* kBareSkin = LR"(<Window size="200,120"><VerticalLayout/></Window>)";

// A dialog titled from the language table that places itself while it is created, the
// way a popup beside its button does.
class TitledDialog : public TestWindow {
public:
    explicit TitledDialog(std::wstring skin = kDialogSkin) : TestWindow(std::move(skin)) {}
    POINT placeAt{};

protected:
    const wchar_t* GetTitleTextId() const override { return L"owned_test_title_text"; }
    void InitWindow() override
    {
        MoveWindow(RECT{placeAt.x, placeAt.y, placeAt.x + 10, placeAt.y + 10});
    }
};

} // namespace

TEST(OwnedWindows, ADialogIsOwnedByTheWindowThatOpenedItAndCentredOnIt)
{
    OpenWindow main(kBareSkin, 600, 400);
    ASSERT_TRUE(main.opened);
    main.window->MoveWindow(RECT{100, 50, 700, 450});
    main.window->ShowWindow(true, false);
    TestWindow dialog(kDialogSkin);
    ASSERT_TRUE(dialog.open(200, 120, main.window->GetHWND()));
    dialog.CenterWindow();

    ASSERT_NE(dialog.GetNativeWindow(), nullptr);
    EXPECT_EQ(dialog.GetNativeWindow()->owner(), main.window->GetNativeWindow());
    EXPECT_EQ(main.window->GetNativeWindow()->owner(), nullptr) << "the main window is top-level";
    const RECT rc = dialog.GetWindowRect();
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.top, 190);
    ui::destroyWindow(dialog.GetHWND());
}

TEST(OwnedWindows, ASkinSizedWindowStaysWhereItPlacedItselfWhileCreated)
{
    // The skin popup used to land at the screen's corner: the skin's size was applied at
    // the position the window began at, not where it had placed itself.
    TitledDialog popup;
    popup.placeAt = POINT{640, 310};
    ASSERT_NE(popup.Create(nullptr, L"popup", WS_POPUP, 0), nullptr);
    const RECT rc = popup.GetWindowRect();
    EXPECT_EQ(rc.left, 640);
    EXPECT_EQ(rc.top, 310);
    EXPECT_EQ(rc.right - rc.left, 200) << "the skin's size";
    EXPECT_EQ(rc.bottom - rc.top, 120);
    ui::destroyWindow(popup.GetHWND());
}

TEST(OwnedWindows, TheWindowManagersCloseDoesWhatTheCloseButtonDoes)
{
    // A window whose close button hides it (the main window with a tray) stays; the
    // manager's close must not end it behind the button's back.
    OpenWindow hiding(kDialogSkin);
    ASSERT_TRUE(hiding.opened);
    int closeClicks = 0;
    hiding.window->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"click" && msg.pSender->GetName() == L"closebtn") {
            ++closeClicks;
            hiding.window->ShowWindow(false, false);
            msg.pSender = nullptr; // handled: the library's own close does not run
        }
    };
    hiding.window->SendMessage(WM_MANAGERCLOSE);
    EXPECT_EQ(closeClicks, 1);
    EXPECT_TRUE(platform::isWindow(hiding.window->GetHWND()));
    EXPECT_FALSE(hiding.window->IsWindowVisible());

    // While its dialog runs, the button cannot be pressed, and the manager's close does not
    // press it either: a second question would open over the first.
    hiding.window->ShowWindow(true, false);
    TestWindow dialog(kDialogSkin);
    ASSERT_TRUE(dialog.open(200, 120, hiding.window->GetHWND()));
    hiding.window->PostMessage(WM_MANAGERCLOSE);
    dialog.Close(IDOK);
    EXPECT_EQ(dialog.ShowModal(), IDOK);
    EXPECT_EQ(closeClicks, 1);
    EXPECT_TRUE(hiding.window->IsWindowVisible());

    // Without a close button of its own, the window closes.
    OpenWindow bare(kBareSkin);
    ASSERT_TRUE(bare.opened);
    const HWND hwnd = bare.window->GetHWND();
    bare.window->SendMessage(WM_MANAGERCLOSE);
    EXPECT_FALSE(platform::isWindow(hwnd));
}

TEST(OwnedWindows, TheTitleIsTheLanguageTextAndFollowsALanguageChange)
{
    auto* resources = CResourceManager::GetInstance();
    ASSERT_TRUE(resources->LoadLanguageText(
        R"(<Language><Text id="owned_test_title_text" value="Settings"/></Language>)"));
    TitledDialog dialog;
    ASSERT_NE(dialog.Create(nullptr, L"SetWnd", WS_POPUP, 0), nullptr);
    EXPECT_EQ(dialog.GetTitle(), L"Settings") << "not the class name";

    ASSERT_TRUE(resources->LoadLanguageText(
        R"(<Language><Text id="owned_test_title_text" value="设置"/></Language>)"));
    dialog.RefreshTitle();
    EXPECT_EQ(dialog.GetTitle(), L"设置");
    ui::destroyWindow(dialog.GetHWND());
    (void)resources->LoadLanguageText("<Language/>");
}

// About and the skin popup kept 100 % beside a main window at 200 %.
TEST(OwnedWindows, AnOwnedWindowTakesItsOwnersScale)
{
    OpenWindow main(kBareSkin, 600, 400);
    ASSERT_TRUE(main.opened);
    main.pm().SetDPI(192);
    TestWindow dialog(kDialogSkin);
    ASSERT_TRUE(dialog.open(200, 120, main.window->GetHWND()));
    EXPECT_EQ(dialog.GetPaintManager().GetDPI(), 192);
    RECT rc = dialog.GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, 400);
    EXPECT_EQ(rc.bottom - rc.top, 240);
    ui::destroyWindow(dialog.GetHWND());

    TitledDialog skinSized; // sized by its skin, as the skin popup is
    ASSERT_NE(skinSized.Create(main.window->GetHWND(), L"popup", WS_POPUP, 0), nullptr);
    rc = skinSized.GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, 400);
    EXPECT_EQ(rc.bottom - rc.top, 240);
    ui::destroyWindow(skinSized.GetHWND());

    TestWindow unowned(kDialogSkin);
    ASSERT_TRUE(unowned.open(200, 120));
    EXPECT_EQ(unowned.GetPaintManager().GetDPI(), 96) << "a top-level window keeps its own";
    ui::destroyWindow(unowned.GetHWND());
}
