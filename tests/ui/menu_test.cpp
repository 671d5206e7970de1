#include "test_window.h"

#include "ui/menu_wnd.h"
#include "ui/window_backend.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>

using testing_support::OpenWindow;
using testing_support::TestWindow;

namespace {

const wchar_t* kOwnerSkin = LR"(<Window><VerticalLayout name="root"/></Window>)";
const wchar_t* kMenu = LR"(<Menu width="150">
    <MenuElement name="exit" text="Exit" height="24" userdata="e"/>
    <MenuElement name="about_menu" text="About" height="24"/>
    <MenuElement name="mute" text="Mute" height="24" checkitem="true"/>
    <MenuElement name="gone" text="Hidden" height="24" visible="false"/>
  </Menu>)";

struct MenuClicks {
    std::vector<std::wstring> names;
    std::vector<int> checked;
};

// The owner takes every command record it is handed and frees it, as the main window does.
void takeMenuClicks(OpenWindow& owner, MenuClicks& clicks)
{
    owner.window->onMessage = [&clicks](UINT msg, WPARAM wParam, LPARAM) {
        if (msg != WM_MENUCLICK)
            return false;
        if (const MenuCmd* record = ui::acceptMenuCommand(wParam)) {
            clicks.names.emplace_back(record->szName);
            clicks.checked.push_back(record->bChecked);
            CPaintManagerUI::DeletePtr(const_cast<MenuCmd*>(record));
        }
        return true;
    };
}

} // namespace

TEST(Menu, OpensBesideThePointAndPostsTheChosenItem)
{
    OpenWindow owner(kOwnerSkin);
    ASSERT_TRUE(owner.opened);
    MenuClicks clicks;
    takeMenuClicks(owner, clicks);
    CMenuWnd* menu = CMenuWnd::CreateMenu(nullptr, kMenu, POINT{500, 500}, &owner.pm(), nullptr,
                                          eMenuAlignment_Left | eMenuAlignment_Top);
    ASSERT_NE(menu, nullptr);
    const RECT rc = menu->GetWindowRect();
    EXPECT_EQ(rc.right, 500);
    EXPECT_EQ(rc.bottom, 500);
    EXPECT_EQ(rc.right - rc.left, 150);
    EXPECT_EQ(rc.bottom - rc.top, 72) << "three visible items";

    const HWND menuHandle = menu->GetHWND();
    {
        ui::UiDriver driver(menu->GetPaintManager());
        ASSERT_TRUE(driver.click(L"about_menu"));
    }
    ASSERT_TRUE(owner.ui().waitFor([&] { return !clicks.names.empty(); }));
    EXPECT_EQ(clicks.names, (std::vector<std::wstring>{L"about_menu"}));
    EXPECT_TRUE(owner.ui().waitFor([&] { return !platform::isWindow(menuHandle); }))
        << "the menu closes after a choice";
}

TEST(Menu, IsDrawnAtItsOwnersScale)
{
    OpenWindow owner(kOwnerSkin);
    ASSERT_TRUE(owner.opened);
    owner.pm().SetDPI(192);
    CMenuWnd* menu = CMenuWnd::CreateMenu(nullptr, kMenu, POINT{100, 100}, &owner.pm());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetPaintManager().GetDPI(), 192);
    const RECT rc = menu->GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 144) << "three visible items at twice their height";
    const HWND handle = menu->GetHWND();
    CMenuWnd::DestroyMenu();
    EXPECT_TRUE(owner.ui().waitFor([&] { return !platform::isWindow(handle); }));
}

TEST(Menu, ALongMenuScrollsWithinTheScreen)
{
    OpenWindow owner(kOwnerSkin);
    ASSERT_TRUE(owner.opened);
    owner.pm().SetDPI(192);
    std::wstring xml = L"<Menu>";
    for (int i = 0; i < 40; ++i)
        xml +=
            L"<MenuElement name=\"item" + std::to_wstring(i) + L"\" text=\"Item\" height=\"32\"/>";
    xml += L"</Menu>";
    CMenuWnd* menu = CMenuWnd::CreateMenu(nullptr, xml, POINT{100, 100}, &owner.pm());
    ASSERT_NE(menu, nullptr);
    const RECT area = ui::windowBackend().workArea();
    const RECT rc = menu->GetWindowRect();
    EXPECT_LE(rc.bottom - rc.top, area.bottom - area.top);
    EXPECT_GE(rc.top, area.top);
    EXPECT_LE(rc.bottom, area.bottom);
    const HWND handle = menu->GetHWND();
    CMenuWnd::DestroyMenu();
    EXPECT_TRUE(owner.ui().waitFor([&] { return !platform::isWindow(handle); }));
}

TEST(Menu, CheckItemsToggleTheCallersMap)
{
    OpenWindow owner(kOwnerSkin);
    ASSERT_TRUE(owner.opened);
    MenuClicks clicks;
    takeMenuClicks(owner, clicks);
    CStdStringPtrMap checks(83);
    bool muted = false;
    checks.Insert(L"mute", &muted);
    CMenuWnd* menu = CMenuWnd::CreateMenu(nullptr, kMenu, POINT{10, 10}, &owner.pm(), &checks);
    ASSERT_NE(menu, nullptr);
    const HWND menuHandle = menu->GetHWND();
    ASSERT_TRUE(menu->ChooseItem(L"mute"));
    ASSERT_TRUE(owner.ui().waitFor(
        [&] { return !clicks.names.empty() && !platform::isWindow(menuHandle); }));
    EXPECT_TRUE(muted);
    EXPECT_EQ(clicks.checked.at(0), 1);
}

TEST(Menu, ForeignPointersInTheClickMessageAreRefused)
{
    // Any process can send the message number; only records the menu handed out count.
    MenuCmd forged{};
    EXPECT_EQ(ui::acceptMenuCommand(reinterpret_cast<WPARAM>(&forged)), nullptr);
    EXPECT_FALSE(ui::releaseMenuCommand(&forged));
    CPaintManagerUI::DeletePtr(&forged); // refused, not freed: the stack object survives

    OpenWindow owner(kOwnerSkin);
    ASSERT_TRUE(owner.opened);
    std::vector<WPARAM> records;
    owner.window->onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
        if (msg == WM_MENUCLICK)
            records.push_back(wParam);
        return msg == WM_MENUCLICK;
    };
    CMenuWnd* menu = CMenuWnd::CreateMenu(nullptr, kMenu, POINT{10, 10}, &owner.pm());
    const HWND menuHandle = menu->GetHWND();
    ASSERT_TRUE(menu->ChooseItem(L"exit"));
    ASSERT_TRUE(
        owner.ui().waitFor([&] { return !records.empty() && !platform::isWindow(menuHandle); }));
    const MenuCmd* record = ui::acceptMenuCommand(records[0]);
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->szUserData, L"e");
    EXPECT_TRUE(ui::releaseMenuCommand(record));
    EXPECT_EQ(ui::acceptMenuCommand(records[0]), nullptr) << "a freed record is not taken twice";
    EXPECT_FALSE(ui::releaseMenuCommand(record));
}

TEST(Menu, OpenMenusAndDialogsEndWithTheirOwner)
{
    // A menu left open when the program ended was never freed: its owner's end did not reach
    // it, and the loop that would have handled its close had stopped. Ended through its own
    // close, or freed without one after the loop (the program's teardown), the owner now takes
    // what it owns with it, owned windows of owned windows too.
    for (const bool throughClose : {true, false}) {
        auto owner = std::make_unique<TestWindow>(kOwnerSkin);
        ASSERT_TRUE(owner->open());
        TestWindow dialog(kOwnerSkin);
        ASSERT_TRUE(dialog.open(200, 100, owner->GetHWND()));
        CMenuWnd* menu =
            CMenuWnd::CreateMenu(nullptr, kMenu, POINT{20, 20}, &owner->GetPaintManager());
        CMenuWnd* dialogMenu =
            CMenuWnd::CreateMenu(nullptr, kMenu, POINT{40, 40}, &dialog.GetPaintManager());
        ASSERT_NE(menu, nullptr);
        ASSERT_NE(dialogMenu, nullptr);
        const HWND handles[] = {menu->GetHWND(), dialogMenu->GetHWND(), dialog.GetHWND()};

        if (throughClose) {
            EXPECT_TRUE(ui::destroyWindow(owner->GetHWND()));
        }
        owner.reset();
        for (const HWND handle : handles)
            EXPECT_FALSE(platform::isWindow(handle)) << (throughClose ? "closed" : "freed");
        EXPECT_EQ(ui::findWindow(L"MenuWnd"), nullptr);
        EXPECT_EQ(dialog.GetHWND(), nullptr);
    }
}
