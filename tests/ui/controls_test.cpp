#include "test_window.h"

#include "ui/button_ui.h"
#include "ui/combo_ui.h"
#include "ui/control_factory.h"
#include "ui/edit_ui.h"
#include "ui/list_ui.h"
#include "ui/slider_ui.h"
#include "ui/window_backend.h"

#include "platform/event.h"

#include <gtest/gtest.h>

#include <thread>

using testing_support::OpenWindow;
using namespace std::chrono_literals;

namespace {

const wchar_t* kTabsSkin = LR"(<Window size="300,200">
  <VerticalLayout name="root">
    <HorizontalLayout height="30">
      <Option name="tab_a" group="tabs" selected="true" bindtabindex="0" bindtablayoutname="pages" width="60"/>
      <Option name="tab_b" group="tabs" bindtabindex="1" bindtablayoutname="pages" width="60"/>
      <Option name="check" width="60"/>
    </HorizontalLayout>
    <TabLayout name="pages">
      <Label name="page_a" text="A"/>
      <Label name="page_b" text="B"/>
    </TabLayout>
  </VerticalLayout>
</Window>)";

} // namespace

TEST(Options, GroupedOptionsExcludeEachOtherAndSwitchTheBoundTab)
{
    OpenWindow w(kTabsSkin);
    ASSERT_TRUE(w.opened);
    auto* a = w.ui().findAs<COptionUI>(L"tab_a");
    auto* b = w.ui().findAs<COptionUI>(L"tab_b");
    auto* pages = w.ui().findAs<CTabLayoutUI>(L"pages");
    ASSERT_TRUE(a && b && pages);
    EXPECT_TRUE(a->IsSelected());
    EXPECT_EQ(pages->GetCurSel(), 0);

    ASSERT_TRUE(w.ui().click(L"tab_b"));
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    EXPECT_EQ(pages->GetCurSel(), 1);
    // "click" comes before "selectchanged"; the option losing its selection says nothing.
    const auto& seen = w.ui().notifications();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2].type, L"click");
    EXPECT_EQ(seen.back().type, L"selectchanged");
    EXPECT_EQ(w.ui().count(L"selectchanged"), 1);

    // Clicking the selected option of a group keeps it selected.
    w.ui().clearNotifications();
    w.ui().click(L"tab_b");
    EXPECT_TRUE(b->IsSelected());
    EXPECT_EQ(w.ui().count(L"selectchanged"), 0);
}

TEST(Options, SelectingFromCodeNotifiesOnlyWhenAsked)
{
    OpenWindow w(kTabsSkin);
    ASSERT_TRUE(w.opened);
    auto* b = w.ui().findAs<COptionUI>(L"tab_b");
    b->Selected(true, false);
    EXPECT_EQ(w.ui().count(L"selectchanged"), 0);
    EXPECT_EQ(w.ui().findAs<CTabLayoutUI>(L"pages")->GetCurSel(), 1);
    w.ui().findAs<COptionUI>(L"tab_a")->Selected(true, true);
    EXPECT_EQ(w.ui().count(L"selectchanged", L"tab_a"), 1);

    // An option without a group toggles and notifies both ways.
    w.ui().clearNotifications();
    w.ui().click(L"check");
    w.ui().click(L"check");
    EXPECT_EQ(w.ui().count(L"selectchanged", L"check"), 2);
    EXPECT_FALSE(w.ui().findAs<COptionUI>(L"check")->IsSelected());
}

TEST(Options, GroupSpansSubtreesAddedLater)
{
    OpenWindow w(kTabsSkin);
    ASSERT_TRUE(w.opened);
    auto* row = w.ui().findAs<CContainerUI>(L"root");
    auto* extra = new COptionUI;
    extra->SetName(L"tab_c");
    extra->SetGroup(L"tabs");
    row->Add(extra);
    extra->Selected(true, true);
    EXPECT_FALSE(w.ui().findAs<COptionUI>(L"tab_a")->IsSelected());
    // A removed option leaves the group: selecting another must not touch it.
    row->Remove(extra);
    w.ui().findAs<COptionUI>(L"tab_b")->Selected(true, true);
    EXPECT_TRUE(w.ui().findAs<COptionUI>(L"tab_b")->IsSelected());
}

namespace {
const wchar_t* kChoicesSkin = LR"(<Window size="300,300">
  <VerticalLayout name="root">
    <Combo name="combo" height="24" dropboxsize="0,200">
      <ListLabelElement text="zero" height="24"/>
      <ListLabelElement text="one" height="24"/>
      <ListLabelElement name="hidden_row" text="two" height="24"/>
      <ListLabelElement text="three" height="24"/>
    </Combo>
    <List name="list" height="60">
      <ListLabelElement text="r0" height="30"/>
      <ListLabelElement text="r1" height="30"/>
      <ListLabelElement text="r2" height="30"/>
      <ListLabelElement text="r3" height="30"/>
    </List>
    <Control/>
  </VerticalLayout>
</Window>)";
} // namespace

TEST(Combo, SelectsByClickAndFromCodeWithOrWithoutNotification)
{
    OpenWindow w(kChoicesSkin);
    ASSERT_TRUE(w.opened);
    auto* combo = w.ui().findAs<CComboUI>(L"combo");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetCurSel(), -1);

    ASSERT_TRUE(w.ui().select(L"combo", 1));
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(combo->GetText(), L"one");
    EXPECT_FALSE(combo->IsDropped());
    ASSERT_EQ(w.ui().count(L"itemselect", L"combo"), 1);

    w.ui().clearNotifications();
    EXPECT_TRUE(combo->SelectItem1(3, true, false));
    EXPECT_EQ(w.ui().count(L"itemselect"), 0);
    EXPECT_TRUE(combo->SelectItem(0, false, true));
    EXPECT_EQ(w.ui().count(L"itemselect"), 1);
    // -1 leaves the combo without a selection.
    EXPECT_TRUE(combo->SelectItem(-1, false, false));
    EXPECT_EQ(combo->GetCurSel(), -1);
}

TEST(Combo, HiddenRowsCannotBeChosen)
{
    OpenWindow w(kChoicesSkin);
    ASSERT_TRUE(w.opened);
    auto* combo = w.ui().findAs<CComboUI>(L"combo");
    combo->GetItemAt(2)->SetVisible(false);
    EXPECT_FALSE(combo->SelectItem(2, false, true));
    EXPECT_FALSE(w.ui().select(L"combo", 2));
    // Arrow keys skip it too.
    combo->SelectItem(1, false, false);
    combo->SetFocus();
    w.ui().key(VK_DOWN);
    EXPECT_EQ(combo->GetCurSel(), 3);
}

TEST(List, ClickSelectsARowAndDoubleClickActivatesIt)
{
    OpenWindow w(kChoicesSkin);
    ASSERT_TRUE(w.opened);
    auto* list = w.ui().findAs<CListUI>(L"list");
    ASSERT_TRUE(w.ui().select(L"list", 1));
    EXPECT_EQ(list->GetCurSel(), 1);
    EXPECT_TRUE(
        static_cast<IListItemUI*>(list->GetItemAt(1)->GetInterface(L"ListItem"))->IsSelected());
    EXPECT_EQ(w.ui().count(L"itemclick"), 1);
    EXPECT_EQ(w.ui().count(L"itemselect", L"list"), 1);

    // A row below the visible part scrolls into view before it is clicked.
    ASSERT_TRUE(w.ui().select(L"list", 3));
    EXPECT_EQ(list->GetCurSel(), 3);
    EXPECT_GT(list->GetScrollPos(), 0);

    w.ui().clearNotifications();
    const RECT row = list->GetItemAt(3)->GetPos();
    w.ui().doubleClickAt(POINT{(row.left + row.right) / 2, (row.top + row.bottom) / 2});
    EXPECT_EQ(w.ui().count(L"itemactivate"), 1);

    w.ui().clearNotifications();
    EXPECT_TRUE(list->SelectItem(0, false, false));
    EXPECT_EQ(w.ui().count(L"itemselect"), 0);
}

TEST(List, RemovingRowsKeepsTheSelectionOnTheSameRow)
{
    OpenWindow w(kChoicesSkin);
    ASSERT_TRUE(w.opened);
    auto* list = w.ui().findAs<CListUI>(L"list");
    list->SelectItem(2, false, false);
    CControlUI* selected = list->GetItemAt(2);
    list->RemoveAt(0);
    EXPECT_EQ(list->GetCurSel(), 1);
    EXPECT_EQ(list->GetItemAt(list->GetCurSel()), selected);
    // Moving a row keeps the control alive for the caller.
    CControlUI* moved = list->GetItemAt(0);
    ASSERT_TRUE(list->Remove(moved, true));
    ASSERT_TRUE(list->AddAt(moved, 2));
    EXPECT_EQ(list->GetItemIndex(moved), 2);
    list->RemoveAll();
    EXPECT_EQ(list->GetCurSel(), -1);
}

namespace {
const wchar_t* kInputsSkin = LR"(<Window size="300,200">
  <VerticalLayout name="root">
    <Slider name="slider" height="20" min="0" max="10" value="5" sendmove="true"/>
    <Edit name="number" height="24" numberonly="true" maxchar="6" minvalue="100" maxvalue="16000"/>
    <Edit name="text" height="24" tipvalue="type here"/>
    <Button name="button" height="24" text="Go"/>
    <Control/>
  </VerticalLayout>
</Window>)";
} // namespace

TEST(Slider, ClampsValuesAndReportsDragAndDrop)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* slider = w.ui().findAs<CSliderUI>(L"slider");
    slider->SetValue(42);
    EXPECT_EQ(slider->GetValue(), 10);
    slider->SetValue(-3);
    EXPECT_EQ(slider->GetValue(), 0);
    slider->SetMaxValue(4);
    slider->SetValue(4);
    slider->SetMaxValue(2);
    EXPECT_EQ(slider->GetValue(), 2) << "a smaller maximum pulls the value in";
    EXPECT_EQ(w.ui().count(L"valuechanged"), 0) << "values set in code are not the user's";

    slider->SetMaxValue(10);
    w.ui().render();
    const RECT rc = slider->GetPos();
    const int y = (rc.top + rc.bottom) / 2;
    w.ui().drag(POINT{rc.left + 1, y}, POINT{rc.right - 1, y});
    EXPECT_EQ(slider->GetValue(), 10);
    EXPECT_GE(w.ui().count(L"movevaluechanged", L"slider"), 1);
    EXPECT_EQ(w.ui().count(L"valuechanged", L"slider"), 1);
    EXPECT_EQ(w.ui().notifications().back().type, L"valuechanged");

    w.ui().wheel(L"slider", -120);
    EXPECT_EQ(slider->GetValue(), 9);
}

TEST(Edit, NumberOnlyLimitsAndRangeApplyOnKillFocus)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* number = w.ui().findAs<CEditUI>(L"number");
    ASSERT_TRUE(w.ui().type(L"number", L"12a3456789"));
    EXPECT_EQ(number->GetText(), L"123456") << "digits only, at most six";
    EXPECT_TRUE(w.ui().saw(L"setfocus", L"number"));
    EXPECT_TRUE(w.ui().saw(L"textchanged", L"number"));

    w.ui().click(L"text");
    EXPECT_TRUE(w.ui().saw(L"killfocus", L"number"));
    EXPECT_EQ(number->GetText(), L"16000") << "the maximum applies when focus leaves";

    w.ui().type(L"number", L"5");
    w.ui().key(VK_TAB);
    EXPECT_EQ(number->GetText(), L"100");
    EXPECT_EQ(w.pm().GetFocus(), w.ui().find(L"text")) << "tab moves to the next edit";
}

TEST(Edit, TypingReplacesTheSelectionAndEditsWithKeys)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* text = w.ui().findAs<CEditUI>(L"text");
    text->SetText(L"old");
    w.ui().type(L"text", L"new");
    EXPECT_EQ(text->GetText(), L"new");
    w.ui().key(VK_BACK);
    w.ui().key(VK_HOME);
    w.ui().key(VK_DELETE);
    EXPECT_EQ(text->GetText(), L"e");
    text->SetEnabled(false);
    EXPECT_EQ(w.pm().GetFocus(), nullptr);
    w.ui().clearNotifications();
    EXPECT_TRUE(w.ui().type(L"text", L"x"));
    EXPECT_EQ(text->GetText(), L"e") << "a disabled edit takes no typing";
}

TEST(Button, DisabledOrReleasedOutsideDoesNotClick)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* button = w.ui().findAs<CButtonUI>(L"button");
    w.ui().render();
    const RECT rc = button->GetPos();
    w.ui().drag(POINT{rc.left + 2, rc.top + 2}, POINT{rc.right + 40, rc.bottom + 40});
    EXPECT_EQ(w.ui().count(L"click"), 0);
    button->SetEnabled(false);
    w.ui().click(L"button");
    EXPECT_EQ(w.ui().count(L"click"), 0);
    button->SetEnabled(true);
    w.ui().click(L"button");
    EXPECT_EQ(w.ui().count(L"click", L"button"), 1);
}

TEST(ControlTimers, StartedFromAnotherThreadFireOnTheUiThread)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    CControlUI* button = w.ui().find(L"button");
    std::thread starter([&] { EXPECT_TRUE(w.pm().SetTimer(button, 1002, 5)); });
    starter.join();
    // Unconsumed timer events become "timer" notifications with the id.
    ASSERT_TRUE(w.ui().waitFor([&] { return w.ui().saw(L"timer", L"button"); }));
    EXPECT_EQ(w.ui().notifications().back().wParam, 1002u);
    EXPECT_TRUE(w.pm().KillTimer(button, 1002));
    EXPECT_FALSE(w.pm().KillTimer(button, 1002));
}

TEST(ControlTimers, RestartReplacesThePeriodAndRemovedControlsStop)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* root = w.ui().findAs<CContainerUI>(L"root");
    auto* doomed = new CControlUI;
    doomed->SetName(L"doomed");
    root->Add(doomed);
    EXPECT_TRUE(w.pm().SetTimer(doomed, 7, 3600000));
    EXPECT_TRUE(w.pm().SetTimer(doomed, 7, 1));
    ASSERT_TRUE(w.ui().waitFor([&] { return w.ui().saw(L"timer", L"doomed"); }));
    root->Remove(doomed);
    // Its timer must be gone: a late WM_TIMER must not reach freed memory.
    w.ui().clearNotifications();
    EXPECT_FALSE(w.pm().KillTimer(doomed, 7));
    w.ui().pump();
    EXPECT_EQ(w.ui().count(L"timer"), 0);
}

TEST(Notifications, AHandlerMayDeleteTheSenderBeforeOtherNotifiersSeeIt)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* root = w.ui().findAs<CContainerUI>(L"root");
    // The window is the first notifier; the driver comes after it.
    w.window->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"click" && msg.pSender && msg.pSender->GetName() == L"button")
            root->Remove(msg.pSender);
    };
    ASSERT_TRUE(w.ui().click(L"button"));
    EXPECT_EQ(w.ui().find(L"button"), nullptr);
    ASSERT_EQ(w.ui().count(L"click"), 1);
    EXPECT_EQ(w.ui().notifications().back().sender, L"") << "the sender is gone, not dangling";
}

TEST(Notifications, AKillFocusHandlerMayDeleteTheControlBeingClicked)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* root = w.ui().findAs<CContainerUI>(L"root");
    w.window->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"killfocus")
            root->Remove(root->FindSubControl(L"text"));
    };
    w.ui().click(L"number");
    ASSERT_TRUE(w.ui().click(L"text"));
    EXPECT_EQ(w.ui().find(L"text"), nullptr);
    EXPECT_EQ(w.pm().GetFocus(), nullptr);
}

TEST(Combo, LongDropListsScrollToTheRowWanted)
{
    std::wstring skin =
        LR"(<Window><VerticalLayout name="root"><Combo name="long" height="24" dropboxsize="0,72">)";
    for (int i = 0; i < 10; ++i)
        skin += L"<ListLabelElement text=\"row " + std::to_wstring(i) + L"\" height=\"24\"/>";
    skin += LR"(</Combo><Control/></VerticalLayout></Window>)";
    OpenWindow w(skin);
    ASSERT_TRUE(w.opened);
    auto* combo = w.ui().findAs<CComboUI>(L"long");
    ASSERT_TRUE(w.ui().select(L"long", 9));
    EXPECT_EQ(combo->GetText(), L"row 9");
    // Reopened, the list starts at the chosen row; choosing an early one wheels back up.
    ASSERT_TRUE(w.ui().select(L"long", 1));
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_FALSE(combo->IsDropped());
}

TEST(Combo, ALongDropListShowsAScrollBarThatWheelsPagesAndDrags)
{
    std::wstring skin =
        LR"(<Window><VerticalLayout name="root">)"
        LR"(<Combo name="long" height="24" dropboxsize="0,96" itembkcolor="#FF161B22")"
        LR"( bordercolor="#FF2D3640" scrolltrackcolor="#FF0E1116" scrollthumbcolor="#FF1EA7FF">)";
    for (int i = 0; i < 10; ++i)
        skin += L"<ListLabelElement text=\"row " + std::to_wstring(i) + L"\" height=\"24\"/>";
    skin += LR"(</Combo><Combo name="short" height="24" dropboxsize="0,96">)"
            LR"(<ListLabelElement text="a" height="24"/><ListLabelElement text="b" height="24"/>)"
            LR"(</Combo><Control/></VerticalLayout></Window>)";
    OpenWindow w(skin);
    ASSERT_TRUE(w.opened);
    auto* combo = w.ui().findAs<CComboUI>(L"long");
    const auto pixelAt = [&](POINT pt) {
        w.ui().render();
        const ui::Canvas& canvas = *w.pm().GetCanvas();
        return canvas.pixels()[pt.y * canvas.stride() / 4 + pt.x];
    };
    const auto middleOf = [](const RECT& rc) {
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    };

    // A list whose rows all show has no bar.
    ASSERT_TRUE(w.ui().click(L"short"));
    EXPECT_EQ(w.ui().findAs<CComboUI>(L"short")->GetDropScrollTrackRect().right, 0);
    w.ui().key(VK_ESCAPE);

    // Four of ten rows show: the bar stands beside the rows, in the skin's colours.
    ASSERT_TRUE(w.ui().click(L"long"));
    ASSERT_TRUE(combo->IsDropped());
    const RECT track = combo->GetDropScrollTrackRect();
    ASSERT_GT(track.right, track.left);
    const RECT popup = w.pm().GetPopupRect();
    EXPECT_EQ(track.bottom - track.top, popup.bottom - popup.top - 2);
    EXPECT_LE(combo->GetItemAt(0)->GetPos().right, track.left) << "no row lies under the bar";
    RECT thumb = combo->GetDropScrollThumbRect();
    EXPECT_EQ(thumb.top, track.top);
    EXPECT_NEAR(double(thumb.bottom - thumb.top) / double(track.bottom - track.top), 0.4, 0.02);
    EXPECT_EQ(pixelAt(middleOf(thumb)), 0xFF1EA7FFu);
    EXPECT_EQ(pixelAt(POINT{track.left + 1, track.bottom - 2}), 0xFF0E1116u);

    // The wheel moves the thumb with the rows.
    const int range = 6 * 24;
    ASSERT_TRUE(w.ui().wheelAt(middleOf(track), -120));
    EXPECT_EQ(combo->GetDropScrollPos(), 24);
    EXPECT_GT(combo->GetDropScrollThumbRect().top, thumb.top);

    // A press below the thumb pages down; the list stays open.
    thumb = combo->GetDropScrollThumbRect();
    ASSERT_TRUE(w.ui().clickAt(POINT{(track.left + track.right) / 2, track.bottom - 3}));
    EXPECT_TRUE(combo->IsDropped());
    EXPECT_EQ(combo->GetDropScrollPos(), 24 + 96);

    // Dragging the thumb to the top and past the bottom scrolls all the way, and letting go
    // on the bar keeps the list open with the last row whole in view.
    thumb = combo->GetDropScrollThumbRect();
    ASSERT_TRUE(w.ui().drag(middleOf(thumb), POINT{middleOf(thumb).x, track.top - 10}));
    EXPECT_EQ(combo->GetDropScrollPos(), 0);
    thumb = combo->GetDropScrollThumbRect();
    ASSERT_TRUE(w.ui().drag(middleOf(thumb), POINT{middleOf(thumb).x, track.bottom - 1}));
    EXPECT_EQ(combo->GetDropScrollPos(), range);
    EXPECT_TRUE(combo->IsDropped());
    EXPECT_EQ(combo->GetItemAt(9)->GetPos().bottom, popup.bottom);
    EXPECT_EQ(combo->GetDropScrollThumbRect().bottom, track.bottom);

    // A row is still chosen by a click, which closes the list.
    ASSERT_TRUE(w.ui().clickAt(middleOf(combo->GetItemAt(8)->GetPos())));
    EXPECT_EQ(combo->GetCurSel(), 8);
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(combo->GetDropScrollTrackRect().right, 0);
}

TEST(Edit, PastedTextPassesTheSameFiltersAsTyping)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* number = w.ui().findAs<CEditUI>(L"number");
    ui::windowBackend().setClipboardText(L"12ab34\n5678");
    w.ui().click(L"number");
    w.ui().controlKey('V');
    EXPECT_EQ(number->GetText(), L"123456") << "digits only, at most six";
    w.ui().controlKey('A');
    w.ui().controlKey('X');
    EXPECT_EQ(number->GetText(), L"");
    EXPECT_EQ(ui::windowBackend().clipboardText(), L"123456");
    w.ui().type(L"text", L"x");
    w.ui().controlKey('V');
    EXPECT_EQ(w.ui().find(L"text")->GetText(), L"x123456");
}

TEST(Edit, ASecondClickPlacesTheCaret)
{
    OpenWindow w(kInputsSkin);
    ASSERT_TRUE(w.opened);
    auto* text = w.ui().findAs<CEditUI>(L"text");
    text->SetText(L"abcdefgh");
    w.ui().click(L"text"); // focus selects everything
    const RECT rc = text->GetPos();
    w.ui().clickAt(POINT{rc.left + 2, (rc.top + rc.bottom) / 2});
    EXPECT_EQ(text->GetCaret(), 0);
    w.ui().key(VK_END);
    w.ui().clickAt(POINT{rc.right - 2, (rc.top + rc.bottom) / 2});
    EXPECT_EQ(text->GetCaret(), 8);
}
