#include "test_window.h"

#include "support/temp_dir.h"
#include "ui/dialog_builder.h"

#include <gtest/gtest.h>

#include <fstream>

using testing_support::OpenWindow;
using testing_support::TempDir;

TEST(SkinInclude, ASkinThatIncludesItselfStops)
{
    TempDir dir;
    // Every level includes the file again, many times: without a shared depth and a
    // budget this never ends (or multiplies beyond memory).
    std::ofstream(dir / "self.xml")
        << R"(<VerticalLayout name="level"><Include source="self.xml" count="100"/></VerticalLayout>)";
    std::ofstream(dir / "main.xml")
        << R"(<Window size="100,100"><VerticalLayout name="top"><Include source="self.xml"/>
              <Label name="after"/></VerticalLayout></Window>)";
    const auto oldPath = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath(dir.path().wstring());
    CPaintManagerUI pm;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(L"main.xml", nullptr, nullptr, &pm));
    CPaintManagerUI::SetResourcePath(std::wstring(oldPath));
    ASSERT_NE(root, nullptr);
    EXPECT_NE(pm.FindSubControlByName(root.get(), L"after"), nullptr)
        << "what follows the runaway include is still built";
}

namespace {
const wchar_t* kCaptionSkin = LR"(<Window size="300,200" caption="0,0,0,40">
  <VerticalLayout name="root">
    <HorizontalLayout name="caption_bar" height="40">
      <Label name="title" width="150"/><Button name="closebtn" width="40"/>
      <Edit name="search" width="60"/>
    </HorizontalLayout>
    <VerticalLayout name="pages" vscrollbar="true" height="100">
      <Button name="row0" height="40"/><Button name="row1" height="40"/>
      <Button name="row2" height="40"/><Button name="row3" height="40"/>
      <Button name="row4" height="40"/><Button name="row5" height="40"/>
    </VerticalLayout>
    <Control/>
  </VerticalLayout>
</Window>)";

LRESULT hitTest(OpenWindow& w, POINT pt)
{
    return w.window->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
}
} // namespace

TEST(WindowCaption, DragsByTheCaptionButNotByItsControls)
{
    OpenWindow w(kCaptionSkin, 300, 200);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    EXPECT_EQ(hitTest(w, w.ui().centerOf(L"title")), HTCAPTION);
    EXPECT_EQ(hitTest(w, w.ui().centerOf(L"closebtn")), HTCLIENT);
    EXPECT_EQ(hitTest(w, w.ui().centerOf(L"search")), HTCLIENT);
    EXPECT_EQ(hitTest(w, POINT{280, 20}), HTCAPTION) << "empty caption space";
    EXPECT_EQ(hitTest(w, POINT{100, 60}), HTCLIENT) << "below the caption";

    OpenWindow noCaption(LR"(<Window size="100,100"><Label name="l"/></Window>)", 100, 100);
    ASSERT_TRUE(noCaption.opened);
    EXPECT_EQ(hitTest(noCaption, POINT{10, 10}), HTCLIENT) << "no caption, no dragging";
}

TEST(WindowIcon, TheIconResourceIsDrawnForTheWindow)
{
    ui::registerIconResource(
        107, (std::filesystem::path(HALVEK_SOURCE_DIR) / "data/skin/icon/halvek.png").wstring());
    OpenWindow w(kCaptionSkin, 300, 200);
    ASSERT_TRUE(w.opened);
    w.window->SendMessage(WM_SETICON, ICON_BIG, 107);
    EXPECT_EQ(w.window->GetIcon(), 107u);
    const auto icon = w.window->GetNativeWindow()->icon();
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 64);
    // The letter in the accent colour sits in the middle.
    const std::uint32_t middle = icon->pixels[32 * 64 + 32];
    EXPECT_GT(middle & 0xFF, 0xC0u) << std::hex << middle;

    w.window->SendMessage(WM_SETICON, ICON_BIG, 999);
    EXPECT_EQ(w.window->GetNativeWindow()->icon()->width, 64) << "an unknown id changes nothing";
}

TEST(ScrollBar, TheThumbDragsAndTheTrackPages)
{
    OpenWindow w(kCaptionSkin, 300, 200);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    auto* pages = w.ui().findAs<CContainerUI>(L"pages");
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->GetScrollRange(), 140);
    const RECT thumb = pages->GetScrollThumbRect();
    const RECT track = pages->GetScrollTrackRect();
    ASSERT_GT(thumb.bottom, thumb.top);
    const POINT grab{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};

    // Down to the end of the track: the last row shows; no row was clicked meanwhile.
    w.ui().drag(grab, POINT{grab.x, track.bottom + 50});
    EXPECT_EQ(pages->GetScrollPos(), 140);
    EXPECT_FALSE(w.ui().saw(L"click"));

    // Half way back.
    const RECT end = pages->GetScrollThumbRect();
    const int travel = (track.bottom - track.top) - (end.bottom - end.top);
    const POINT from{grab.x, (end.top + end.bottom) / 2};
    w.ui().drag(from, POINT{from.x, from.y - travel / 2});
    EXPECT_NEAR(pages->GetScrollPos(), 70, 2);

    // A press on the track above the thumb pages up.
    w.ui().clickAt(POINT{grab.x, track.top + 1});
    EXPECT_EQ(pages->GetScrollPos(), 0);
    EXPECT_FALSE(w.ui().saw(L"click")) << "the track takes the press, not the row under it";

    // The rows are still clickable beside the bar.
    EXPECT_TRUE(w.ui().click(L"row0"));
    EXPECT_TRUE(w.ui().saw(L"click", L"row0"));
}
