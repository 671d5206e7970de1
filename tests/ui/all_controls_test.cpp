#include "all_controls_skin.h"
#include "test_window.h"

#include "support/temp_dir.h"
#include "ui/button_ui.h"
#include "ui/color_palette_ui.h"
#include "ui/combo_ui.h"
#include "ui/edit_ui.h"
#include "ui/list_ui.h"
#include "ui/slider_ui.h"

#include <gtest/gtest.h>

using testing_support::OpenWindow;

namespace {
std::uint32_t pixelAt(const ui::Image& image, POINT pt)
{
    return image.pixels[static_cast<std::size_t>(pt.y * image.width + pt.x)];
}
} // namespace

TEST(AllControls, ASkinWithEveryControlIsDrivenByNameAndPainted)
{
    OpenWindow w(kAllControlsSkin, 1000, 640);
    ASSERT_TRUE(w.opened);
    auto& ui = w.ui();
    ui.render();
    EXPECT_TRUE(ui.saw(L"windowinit"));

    ASSERT_TRUE(ui.select(L"light_combo_modeSelect", 1));
    EXPECT_EQ(ui.findAs<CComboUI>(L"light_combo_modeSelect")->GetText(), L"Breathing");
    EXPECT_FALSE(ui.select(L"light_combo_modeSelect", 2)) << "a hidden row";

    auto* slider = ui.findAs<CSliderUI>(L"deng_light_slider");
    const RECT track = slider->GetPos();
    ui.drag(POINT{(track.left + track.right) / 2, (track.top + track.bottom) / 2},
            POINT{track.right + 50, (track.top + track.bottom) / 2});
    EXPECT_EQ(slider->GetValue(), 4);
    EXPECT_TRUE(ui.saw(L"movevaluechanged", L"deng_light_slider"));
    EXPECT_TRUE(ui.saw(L"valuechanged", L"deng_light_slider"));

    ui.type(L"deng_edit_G", L"300");
    ui.key(VK_TAB);
    EXPECT_EQ(ui.find(L"deng_edit_G")->GetText(), L"255");
    EXPECT_EQ(w.pm().GetFocus(), ui.find(L"deng_edit_B"));

    const RECT palette = ui.find(L"deng_Color_Pallet")->GetPos();
    ui.clickAt(POINT{palette.left, palette.top});
    EXPECT_TRUE(ui.saw(L"colorchanged", L"deng_Color_Pallet"));
    EXPECT_EQ(ui.findAs<CColorPaletteUI>(L"deng_Color_Pallet")->GetSelectColor(), 0xFFFF0000u);

    ui.click(L"color_option_2");
    ui.click(L"deng_7color_check");
    EXPECT_TRUE(ui.findAs<COptionUI>(L"deng_7color_check")->IsSelected());
    ui.type(L"repeat_input_richedit", L"abc");
    EXPECT_EQ(ui.find(L"repeat_input_richedit")->GetText(), L"abc");

    // The key button's tooltip shows its title once the mouse rests.
    ui.moveTo(ui.centerOf(L"closebtn"));
    ASSERT_TRUE(ui.waitFor([&] { return w.pm().GetToolTip() != nullptr; }));
    EXPECT_EQ(w.pm().GetToolTip()->title, L"Close");

    ui.click(L"tab_macro");
    EXPECT_EQ(ui.findAs<CTabLayoutUI>(L"pages")->GetCurSel(), 2);
    ASSERT_TRUE(ui.select(L"macro_name_list", 2));
    EXPECT_TRUE(ui.saw(L"itemselect", L"macro_name_list"));
    ui.doubleClick(L"macro_action");
    EXPECT_TRUE(ui.saw(L"itemactivate", L"macro_action"));
    ui.type(L"macro_delay", L"70000");
    ui.click(L"macro_name_list");
    EXPECT_EQ(ui.find(L"macro_delay")->GetText(), L"65535");
    EXPECT_TRUE(ui.saw(L"killfocus", L"macro_delay"));

    testing_support::TempDir dir;
    ui.click(L"tab_light");
    ui.click(L"tab_macro");
    ASSERT_TRUE(ui.writePng(dir / "all.png"));
    if (const char* keep = std::getenv("HALVEK_KEEP_FRAMES"))
        ui.writePng(std::filesystem::path(keep) / "all_controls.png");
    const auto image = ui::loadPng(dir / "all.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 1000);
    EXPECT_EQ(image->height, 640);
    EXPECT_EQ(pixelAt(*image, POINT{2, 2}), 0xFF1B1F24u) << "root background";
    const RECT tab = ui.find(L"tab_macro")->GetPos();
    EXPECT_EQ(pixelAt(*image, POINT{tab.left + 3, tab.top + 3}), 0xFF0099FFu) << "selected tab";
    const RECT row = ui.findAs<CListUI>(L"macro_name_list")->GetItemAt(2)->GetPos();
    EXPECT_EQ(pixelAt(*image, POINT{row.right - 3, row.top + 3}), 0xFF0099FFu) << "selected row";
}
