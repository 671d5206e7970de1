#include "test_window.h"

#include "ui/combo_ui.h"
#include "ui/menu_wnd.h"

#include <gtest/gtest.h>

using testing_support::OpenWindow;
using testing_support::TestWindow;

namespace {

const wchar_t* kSkin = LR"(<Window size="300,300">
  <VerticalLayout name="root">
    <Combo name="combo" height="24" dropboxsize="0,120" tooltip="Pick one">
      <ListLabelElement text="zero" height="24"/>
      <ListLabelElement text="one" height="24"/>
    </Combo>
    <Button name="button" height="30" tooltip="Press"/>
    <Control/>
  </VerticalLayout>
</Window>)";
const wchar_t* kDialogSkin = LR"(<Window size="120,80"><VerticalLayout/></Window>)";

// The tooltip's delay ends: what the window's timer would do after the mouse rests.
void restPointer(OpenWindow& w)
{
    platform::sendMessage(w.window->GetHWND(), WM_TIMER, kControlTimerBase - 1, 0);
}

bool tipShown(OpenWindow& w, std::wstring_view text)
{
    const auto* tip = w.pm().GetToolTip();
    return tip && tip->text == text;
}

} // namespace

TEST(ToolTip, GoesWhenTheComboOpensAndNeverCoversItsList)
{
    OpenWindow w(kSkin);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    auto* combo = w.ui().findAs<CComboUI>(L"combo");
    ASSERT_NE(combo, nullptr);
    w.ui().moveTo(w.ui().centerOf(L"combo"));
    restPointer(w);
    ASSERT_TRUE(tipShown(w, L"Pick one"));

    ASSERT_TRUE(w.ui().click(L"combo"));
    ASSERT_TRUE(combo->IsDropped());
    EXPECT_EQ(w.pm().GetToolTip(), nullptr) << "the press takes the tip down";
    // The pointer rests on the combo again while its list is open.
    w.ui().moveTo(w.ui().centerOf(L"combo"));
    restPointer(w);
    EXPECT_EQ(w.pm().GetToolTip(), nullptr);

    ASSERT_TRUE(w.ui().key(VK_ESCAPE));
    ASSERT_FALSE(combo->IsDropped());
    w.ui().moveTo(w.ui().centerOf(L"button"));
    restPointer(w);
    EXPECT_TRUE(tipShown(w, L"Press")) << "tips come back once the list is closed";

    // A key pressed, as a press of the mouse, takes it down too.
    ASSERT_TRUE(w.ui().key(VK_DOWN));
    EXPECT_EQ(w.pm().GetToolTip(), nullptr);
}

TEST(ToolTip, GoesWhenADialogOrAMenuOpens)
{
    OpenWindow w(kSkin);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    w.ui().moveTo(w.ui().centerOf(L"button"));
    restPointer(w);
    ASSERT_TRUE(tipShown(w, L"Press"));
    TestWindow dialog(kDialogSkin);
    ASSERT_TRUE(dialog.open(120, 80, w.window->GetHWND()));
    EXPECT_EQ(w.pm().GetToolTip(), nullptr);
    ui::destroyWindow(dialog.GetHWND());

    w.ui().moveTo(w.ui().centerOf(L"button"));
    restPointer(w);
    ASSERT_TRUE(tipShown(w, L"Press"));
    CMenuWnd* menu = CMenuWnd::CreateMenu(
        nullptr, LR"(<Menu><MenuElement name="a" text="A" height="24"/></Menu>)", POINT{10, 10},
        &w.pm());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(w.pm().GetToolTip(), nullptr);
    const HWND handle = menu->GetHWND();
    CMenuWnd::DestroyMenu();
    EXPECT_TRUE(w.ui().waitFor([&] { return !platform::isWindow(handle); }));
}
