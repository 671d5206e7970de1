#include "test_window.h"

#include "ui/button_ui.h"
#include "ui/label_ui.h"
#include "ui/resource_manager.h"

#include <gtest/gtest.h>

using testing_support::OpenWindow;
using testing_support::TestWindow;

namespace {
const wchar_t* kTreeSkin = LR"(<Window size="300,200"><VerticalLayout name="root">
    <TabLayout name="tabs" height="40">
      <Label name="p0"/><Label name="p1"/><Label name="p2"/>
    </TabLayout>
    <Button name="Mixed_Case" height="20"/>
    <HorizontalLayout name="row" height="30">
      <Control name="fixed" width="40" maxwidth="40"/>
      <Control name="capped" maxwidth="50"/>
      <Control name="grow"/>
    </HorizontalLayout>
    <Edit name="edit" height="20"/>
  </VerticalLayout></Window>)";
} // namespace

TEST(TabLayout, KeepsItsPageWhenPagesComeAndGo)
{
    OpenWindow w(kTreeSkin);
    ASSERT_TRUE(w.opened);
    auto* tabs = w.ui().findAs<CTabLayoutUI>(L"tabs");
    ASSERT_TRUE(tabs->SelectItem(2));
    CControlUI* page = tabs->GetItemAt(2);
    auto* extra = new CLabelUI;
    tabs->AddAt(extra, 0);
    EXPECT_EQ(tabs->GetItemAt(tabs->GetCurSel()), page);
    EXPECT_FALSE(extra->IsVisible());
    tabs->Remove(tabs->GetItemAt(0));
    EXPECT_EQ(tabs->GetItemAt(tabs->GetCurSel()), page);
    // Removing the shown page shows a neighbour instead of nothing.
    tabs->Remove(page);
    ASSERT_GE(tabs->GetCurSel(), 0);
    EXPECT_TRUE(tabs->GetItemAt(tabs->GetCurSel())->IsVisible());
    EXPECT_FALSE(tabs->SelectItem(7));
}

TEST(FindControl, ExactNameFirstThenIgnoringCase)
{
    OpenWindow w(kTreeSkin);
    ASSERT_TRUE(w.opened);
    EXPECT_EQ(w.ui().find(L"mixed_case"), w.ui().find(L"Mixed_Case"));
    auto* twin = new CButtonUI;
    twin->SetName(L"mixed_case");
    w.ui().findAs<CContainerUI>(L"root")->Add(twin);
    EXPECT_EQ(w.ui().find(L"mixed_case"), twin) << "an exact match wins";
    EXPECT_EQ(w.ui().find(L"nothing"), nullptr);
    EXPECT_EQ(w.pm().FindSubControlByName(w.ui().find(L"row"), L"GROW"), w.ui().find(L"grow"));
    EXPECT_EQ(w.pm().FindSubControlByName(w.ui().find(L"row"), L"edit"), nullptr)
        << "only below the parent";
}

TEST(Layout, StretchedChildrenRespectTheirLimits)
{
    OpenWindow w(kTreeSkin);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    auto width = [&](const wchar_t* name) {
        const RECT rc = w.ui().find(name)->GetPos();
        return rc.right - rc.left;
    };
    EXPECT_EQ(width(L"fixed"), 40);
    EXPECT_EQ(width(L"capped"), 50);
    EXPECT_GT(width(L"grow"), 100);
    // Hiding a child gives its room to the stretching ones at the next layout.
    const int before = width(L"grow");
    w.ui().find(L"fixed")->SetVisible(false);
    w.ui().render();
    EXPECT_GT(width(L"grow"), before);
}

TEST(Focus, HiddenOrDisabledControlsLoseAndRefuseIt)
{
    OpenWindow w(kTreeSkin);
    ASSERT_TRUE(w.opened);
    w.ui().click(L"edit");
    EXPECT_EQ(w.pm().GetFocus(), w.ui().find(L"edit"));
    w.ui().find(L"edit")->SetVisible(false);
    EXPECT_EQ(w.pm().GetFocus(), nullptr);
    EXPECT_TRUE(w.ui().saw(L"killfocus", L"edit"));
    w.ui().find(L"Mixed_Case")->SetEnabled(false);
    w.pm().SetFocus(w.ui().find(L"Mixed_Case"));
    EXPECT_EQ(w.pm().GetFocus(), nullptr);
}

TEST(ControlTimers, SetBeforeTheWindowExistsStartWithIt)
{
    TestWindow window(kTreeSkin);
    CControlUI early;
    early.SetName(L"early");
    // The paint manager has no window yet: the timer waits for Init.
    EXPECT_TRUE(window.GetPaintManager().SetTimer(&early, 5, 1));
    ASSERT_TRUE(window.open());
    window.GetPaintManager().GetRoot(); // the tree is built
    bool fired = false;
    window.onNotify = [&](TNotifyUI& msg) { fired = fired || msg.sType == L"timer"; };
    // "early" is not in the tree, but it is the timer's control: its event goes to it.
    early.SetManager(&window.GetPaintManager(), nullptr, false);
    ui::UiDriver driver(window.GetPaintManager());
    EXPECT_TRUE(driver.waitFor([&] { return driver.saw(L"timer", L"early"); }));
    window.GetPaintManager().KillTimer(&early);
    early.SetManager(nullptr, nullptr, false);
    ui::destroyWindow(window.GetHWND());
}

TEST(Notifications, AsyncNotificationsArriveFromTheQueueInOrder)
{
    OpenWindow w(kTreeSkin);
    ASSERT_TRUE(w.opened);
    CControlUI* button = w.ui().find(L"Mixed_Case");
    w.pm().SendNotify(button, L"first", 1, 0, true);
    w.pm().SendNotify(button, L"second", 2, 0, true);
    EXPECT_EQ(w.ui().count(L"first"), 0) << "not before the queue runs";
    w.ui().pump();
    ASSERT_EQ(w.ui().count(L"first"), 1);
    const auto& seen = w.ui().notifications();
    EXPECT_EQ(seen[seen.size() - 2].type, L"first");
    EXPECT_EQ(seen.back().type, L"second");
    EXPECT_EQ(seen.back().wParam, 2u);
}

TEST(ShowModal, AWindowRefusingToCloseKeepsTheLoopRunning)
{
    OpenWindow owner(kTreeSkin);
    ASSERT_TRUE(owner.opened);
    TestWindow dialog(kTreeSkin);
    ASSERT_TRUE(dialog.open(100, 100, owner.window->GetHWND()));
    int closeRequests = 0;
    dialog.onMessage = [&](UINT msg, WPARAM, LPARAM) {
        // Refuses the first close, as a busy settings window does.
        return msg == WM_CLOSE && ++closeRequests == 1;
    };
    dialog.Close(4);
    dialog.Close(5);
    EXPECT_EQ(dialog.ShowModal(), 5u);
    EXPECT_EQ(closeRequests, 2);
}

TEST(Window, CentresOverItsOwnerOrTheScreen)
{
    OpenWindow owner(kTreeSkin, 400, 300);
    ASSERT_TRUE(owner.opened);
    owner.window->MoveWindow(RECT{100, 100, 500, 400});
    TestWindow child(kTreeSkin);
    ASSERT_TRUE(child.open(200, 100, owner.window->GetHWND()));
    child.CenterWindow();
    EXPECT_EQ(child.GetWindowRect().left, 200);
    EXPECT_EQ(child.GetWindowRect().top, 200);
    const POINT onScreen = ui::clientToScreen(child.GetHWND(), POINT{5, 6});
    EXPECT_EQ(onScreen.x, 205);
    EXPECT_EQ(onScreen.y, 206);
    EXPECT_NE(ui::findWindow(L"TestWnd", L"test"), nullptr);
    EXPECT_EQ(ui::findWindow(L"TestWnd", L"no such title"), nullptr);
    owner.window->ShowWindow(false);
    child.CenterWindow();
    EXPECT_EQ(child.GetWindowRect().left, (1920 - 200) / 2)
        << "the work area when the owner is hidden";
    ui::destroyWindow(child.GetHWND());
}

TEST(Dpi, TextGrowsWithTheScale)
{
    OpenWindow w(LR"(<Window><Label name="root" text="Halvek" font="0"/></Window>)", 200, 50);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    auto& canvas = *w.pm().GetCanvas();
    const SIZE normal = canvas.measureText(L"Halvek", w.pm().GetFont(0), w.pm().GetScale(), 0);
    w.pm().SetDPI(192);
    w.ui().render();
    const SIZE doubled =
        w.pm().GetCanvas()->measureText(L"Halvek", w.pm().GetFont(0), w.pm().GetScale(), 0);
    EXPECT_NEAR(doubled.cx, normal.cx * 2, normal.cx / 5);
    EXPECT_NEAR(doubled.cy, normal.cy * 2, normal.cy / 5);
}

TEST(ResourceManager, AMalformedIndexKeepsWhatWasLoaded)
{
    auto* resources = CResourceManager::GetInstance();
    ASSERT_TRUE(resources->LoadResource(LR"(<Res><Xml name="XML_MAIN" path="main.xml"/></Res>)"));
    EXPECT_FALSE(resources->LoadResource(LR"(<Res><Xml name="XML_MAIN" path=)"));
    EXPECT_FALSE(resources->LoadResource(L"no/such/index.xml"));
    EXPECT_EQ(resources->GetXmlPath(L"XML_MAIN"), L"main.xml");
    EXPECT_EQ(resources->GetXmlPath(L"xml_main"), L"") << "resource names are exact";
    resources->Release();
}
