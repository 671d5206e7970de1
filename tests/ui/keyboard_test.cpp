#include "test_window.h"

#include "ui/button_ui.h"
#include "ui/combo_ui.h"
#include "ui/edit_ui.h"
#include "ui/focus_order.h"
#include "ui/list_ui.h"
#include "ui/script/script.h"

#include <gtest/gtest.h>

using testing_support::OpenWindow;
using testing_support::TestWindow;

namespace {

std::wstring focusName(CPaintManagerUI& pm)
{
    return pm.GetFocus() ? std::wstring(pm.GetFocus()->GetName()) : L"(none)";
}

std::vector<std::wstring> tabWalk(OpenWindow& w, int steps, bool forward = true)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < steps; ++i) {
        if (forward)
            w.ui().key(VK_TAB);
        else
            w.ui().shiftKey(VK_TAB);
        names.push_back(focusName(w.pm()));
    }
    return names;
}

const wchar_t* kBareDialog = LR"(<Window size="200,120"><VerticalLayout>
    <Button name="okbtn" height="30"/></VerticalLayout></Window>)";

// Floating buttons given out of reading order, then two columns of fields (walked one
// column at a time), a hidden and a disabled button, and a list whose rows are no stops.
const wchar_t* kFormSkin = LR"(<Window size="400,300"><VerticalLayout>
    <Container height="80">
      <Button name="b2" float="true" pos="200,40,300,70"/>
      <Button name="a1" float="true" pos="0,0,100,30"/>
      <Button name="b1" float="true" pos="200,0,300,30"/>
      <Button name="a2" float="true" pos="0,40,100,70"/>
    </Container>
    <HorizontalLayout height="70">
      <VerticalLayout width="200"><Button name="c1" height="30"/><Button name="c2" height="30"/></VerticalLayout>
      <VerticalLayout width="200">
        <Edit name="d1" height="30"/><Button name="hidden" height="30" visible="false"/>
        <Button name="off" height="30" enabled="false"/>
      </VerticalLayout>
    </HorizontalLayout>
    <List name="rows" height="90">
      <ListLabelElement name="row0" text="zero"/><ListLabelElement name="row1" text="one"/>
      <ListLabelElement name="row2" text="two"/>
    </List>
    <Combo name="pick" height="26"><ListLabelElement name="c0" text="c0"/><ListLabelElement name="k1" text="k1"/></Combo>
  </VerticalLayout></Window>)";

} // namespace

TEST(FocusOrder, RowsReadTopToBottomAndEachRowLeftToRight)
{
    // A tall control at the left takes its whole band: the column beside it follows it.
    const std::vector<RECT> rects{
        {200, 0, 300, 30},  // 0: right of the first row
        {0, 0, 100, 30},    // 1: left of the first row
        {0, 40, 100, 200},  // 2: tall, second band
        {150, 60, 250, 90}, // 3: beside the tall one
        {150, 45, 250, 75}, // 4: beside it, higher
        {0, 210, 100, 240}, // 5: below everything
    };
    EXPECT_EQ(ui::readingOrder(rects), (std::vector<std::size_t>{1, 0, 2, 4, 3, 5}));
    EXPECT_TRUE(ui::readingOrder({}).empty());
}

TEST(FocusOrder, TabVisitsShownEnabledControlsInReadingOrderAndShiftTabGoesBack)
{
    OpenWindow w(kFormSkin);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    EXPECT_EQ(tabWalk(w, 10), (std::vector<std::wstring>{L"a1", L"b1", L"a2", L"b2", L"c1", L"c2",
                                                         L"d1", L"rows", L"pick", L"a1"}));
    EXPECT_EQ(tabWalk(w, 2, false), (std::vector<std::wstring>{L"pick", L"rows"}));
    EXPECT_TRUE(w.pm().IsFocusRingShown());
}

TEST(FocusOrder, AClickedRowKeepsItsListsPlaceAndArrowsMoveInTheList)
{
    OpenWindow w(kFormSkin);
    ASSERT_TRUE(w.opened);
    auto* list = w.ui().findAs<CListUI>(L"rows");
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(w.ui().click(L"row1"));
    EXPECT_FALSE(w.pm().IsFocusRingShown()) << "a click shows no ring";
    w.ui().key(VK_DOWN);
    EXPECT_EQ(list->GetCurSel(), 2);
    w.ui().key(VK_HOME);
    EXPECT_EQ(list->GetCurSel(), 0);
    w.ui().clearNotifications();
    w.ui().key(VK_RETURN);
    EXPECT_TRUE(w.ui().saw(L"itemactivate", L"row0"));
    w.ui().key(VK_TAB);
    EXPECT_EQ(focusName(w.pm()), L"pick") << "Tab goes on from the list, not to the next row";
    EXPECT_TRUE(w.pm().IsFocusRingShown());
}

TEST(FocusRing, IsDrawnInTheAccentColourOutsideTheFocusedControlAndSharpAt200Percent)
{
    for (const int dpi : {96, 192}) {
        OpenWindow w(kFormSkin, 400 * dpi / 96, 300 * dpi / 96);
        ASSERT_TRUE(w.opened);
        w.pm().SetDPI(dpi);
        w.ui().render();
        w.ui().key(VK_TAB);
        w.ui().render();
        const RECT button = w.ui().find(L"a1")->GetPos();
        const RECT ring = w.pm().GetFocusRingRect();
        const int width = dpi / 48;
        EXPECT_EQ(ring.left, button.left - width) << dpi;
        EXPECT_EQ(ring.bottom, button.bottom + width) << dpi;
        const ui::Image frame = ui::snapshot(*w.pm().GetCanvas());
        auto pixel = [&](int x, int y) { return frame.pixels[std::size_t(y) * frame.width + x]; };
        const int middle = (button.top + button.bottom) / 2;
        // Every pixel of the line is the full accent colour: no blurred half-pixel edge.
        for (int x = button.right; x < button.right + width; ++x)
            EXPECT_EQ(pixel(x, middle), 0xFF1EA7FFu) << dpi << " x " << x;
        EXPECT_NE(pixel(button.right + width, middle), 0xFF1EA7FFu) << dpi;
        // A mouse press hides the ring again.
        ASSERT_TRUE(w.ui().click(L"b1"));
        EXPECT_FALSE(w.pm().IsFocusRingShown());
        EXPECT_EQ(w.pm().GetFocusRingRect().right, 0);
    }
}

TEST(KeyDispatch, EnterAndSpaceActivateTheFocusedButtonAndEnterCommitsATypedNumber)
{
    OpenWindow w(LR"(<Window size="300,200"><VerticalLayout>
        <Edit name="value" height="30" numberonly="true" minvalue="0" maxvalue="255"/>
        <Button name="go" height="30"/><Option name="opt" height="30"/>
      </VerticalLayout></Window>)");
    ASSERT_TRUE(w.opened);
    w.ui().key(VK_TAB);
    ASSERT_EQ(focusName(w.pm()), L"value");
    w.ui().chars(L"300");
    w.ui().key(VK_RETURN);
    EXPECT_EQ(w.ui().find(L"value")->GetText(), L"255") << "Enter applies the range at once";
    EXPECT_TRUE(w.ui().saw(L"return", L"value"));
    w.ui().key(VK_TAB);
    w.ui().key(VK_RETURN);
    w.ui().key(L' ');
    EXPECT_EQ(w.ui().count(L"click", L"go"), 2);
    w.ui().key(VK_TAB);
    auto* option = w.ui().findAs<COptionUI>(L"opt");
    ASSERT_NE(option, nullptr);
    w.ui().key(L' ');
    EXPECT_TRUE(option->IsSelected());
    w.ui().key(L' ');
    EXPECT_FALSE(option->IsSelected());
}

TEST(KeyDispatch, EscClosesAnOpenListFirstThenTheDialogButNeverTheMainWindow)
{
    OpenWindow main(LR"(<Window size="300,200"><VerticalLayout>
        <Button name="closebtn" height="30"/></VerticalLayout></Window>)");
    ASSERT_TRUE(main.opened);
    main.ui().key(VK_ESCAPE);
    main.ui().pump();
    EXPECT_FALSE(main.ui().saw(L"click", L"closebtn")) << "Esc must not close the main window";
    EXPECT_NE(ui::windowFromHandle(main.window->GetHWND()), nullptr);

    auto dialog = std::make_unique<TestWindow>(LR"(<Window size="200,160"><VerticalLayout>
        <Combo name="pick" height="26"><ListLabelElement text="a"/><ListLabelElement text="b"/></Combo>
        <Button name="closebtn" height="30"/></VerticalLayout></Window>)");
    ASSERT_TRUE(dialog->open(200, 160, main.window->GetHWND()));
    const HWND handle = dialog->GetHWND();
    ui::UiDriver ui(dialog->GetPaintManager());
    auto* combo = ui.findAs<CComboUI>(L"pick");
    ASSERT_NE(combo, nullptr);
    ASSERT_TRUE(ui.click(L"pick"));
    ASSERT_NE(dialog->GetPaintManager().GetPopupOwner(), nullptr) << "the list is open";
    ui.key(VK_DOWN);
    ui.key(VK_DOWN);
    EXPECT_EQ(combo->GetCurSel(), 1) << "arrows move in the open list";
    ui.key(VK_ESCAPE);
    EXPECT_EQ(dialog->GetPaintManager().GetPopupOwner(), nullptr);
    ASSERT_NE(ui::windowFromHandle(handle), nullptr) << "the first Esc only closed the list";
    ui.key(VK_ESCAPE);
    ui.pump();
    EXPECT_EQ(ui::windowFromHandle(handle), nullptr) << "the second Esc closed the dialog";
}

TEST(ScriptKeys, ShiftAndCtrlPrefixesAndTheKeyboardOnlySteps)
{
    const auto chord = ui::script::keyFromName(L"Shift+Tab");
    EXPECT_EQ(chord.virtualKey, static_cast<unsigned>(VK_TAB));
    EXPECT_TRUE(chord.shift);
    EXPECT_FALSE(chord.control);
    const auto both = ui::script::keyFromName(L"ctrl+shift+a");
    EXPECT_TRUE(both.shift && both.control);
    EXPECT_EQ(both.virtualKey, static_cast<unsigned>('A'));
    EXPECT_EQ(ui::script::keyFromName(L"Shift+").virtualKey, 0u);

    const auto steps = ui::script::parseScript("chars 12 3\nexpect-focus color_edit_r\n");
    ASSERT_TRUE(steps.hasValue());
    ASSERT_EQ(steps->size(), 2u);
    EXPECT_EQ((*steps)[0].kind, ui::script::StepKind::Chars);
    EXPECT_EQ((*steps)[0].text, L"12 3");
    EXPECT_EQ((*steps)[1].kind, ui::script::StepKind::ExpectFocus);
    EXPECT_EQ((*steps)[1].name, L"color_edit_r");
    EXPECT_FALSE(ui::script::parseScript("chars\n").hasValue());
    EXPECT_FALSE(ui::script::parseScript("expect-focus a b\n").hasValue());
}

TEST(KeyDispatch, EscOnAPopupThatDeletesItselfWhenClosedTouchesNothingAfterwards)
{
    // A popup without a close button is closed through the system command; the skin
    // popup deletes itself then, and the command's handler used to read it afterwards.
    class SelfDeleting : public TestWindow {
    public:
        explicit SelfDeleting(bool& deleted) : TestWindow(kBareDialog), m_deleted(deleted) {}
        ~SelfDeleting() override { m_deleted = true; }
        void OnFinalMessage(HWND hwnd) override
        {
            TestWindow::OnFinalMessage(hwnd);
            delete this;
        }

    private:
        bool& m_deleted;
    };
    OpenWindow main(kBareDialog);
    ASSERT_TRUE(main.opened);
    bool deleted = false;
    auto* popup = new SelfDeleting(deleted);
    ASSERT_TRUE(popup->open(200, 120, main.window->GetHWND()));
    const HWND handle = popup->GetHWND();
    platform::sendMessage(handle, WM_KEYDOWN, VK_ESCAPE, 0);
    main.ui().pump();
    EXPECT_EQ(ui::windowFromHandle(handle), nullptr);
    EXPECT_TRUE(deleted);
}
