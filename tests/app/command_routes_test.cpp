#include "app/command_routes.h"

#include <gtest/gtest.h>

using app::DeviceNeed;
using app::RouteOwner;

TEST(CommandRoutes, NamesCompareWithoutCaseExceptTheExactRows)
{
    ASSERT_TRUE(app::clickRoute(L"CloseBtn"));
    EXPECT_EQ(app::clickRoute(L"CloseBtn")->command, L"closebtn");
    EXPECT_TRUE(app::clickRoute(L"profile_fun_spread_btn"));
    EXPECT_FALSE(app::clickRoute(L"Profile_Fun_Spread_Btn"));
    EXPECT_FALSE(app::clickRoute(L"macro_inset_MoveLeftKey_btn"));
    EXPECT_FALSE(app::clickRoute(L"no_such_button"));
}

TEST(CommandRoutes, NumberedControlsCarryTheirNumber)
{
    const struct {
        const wchar_t* name;
        const wchar_t* prefix;
        int number;
    } cases[] = {{L"key_12", L"key_", 12},
                 {L"Key_5", L"key_", 5},
                 {L"windowdeviceset_2", L"windowdeviceset_", 2},
                 {L"DPI_color_option_3", L"DPI_color_option_", 3}};
    for (const auto& c : cases) {
        const auto route = app::clickRoute(c.name);
        ASSERT_TRUE(route) << c.name;
        EXPECT_EQ(route->command, c.prefix);
        EXPECT_EQ(route->number, c.number);
    }
    // A number that does not fit is no number at all.
    EXPECT_FALSE(app::clickRoute(L"key_99999999999"));
    EXPECT_FALSE(app::clickRoute(L"key_"));
    const auto combo = app::selectChangedRoute(L"key_ComBox_check_2");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->command, L"key_ComBox_check_");
    EXPECT_TRUE(combo->alsoSavesKey);
}

TEST(CommandRoutes, TheFirstClickRowsSayWhetherTheyGoOn)
{
    EXPECT_FALSE(app::clickRoute(L"closebtn")->continues);
    EXPECT_FALSE(app::clickRoute(L"minbtn")->continues);
    EXPECT_TRUE(app::clickRoute(L"nodevice_ok_btn")->continues);
    EXPECT_TRUE(app::clickRoute(L"control_light_status")->continues);
    EXPECT_TRUE(app::clickRoute(L"setbtn")->continues);
}

TEST(CommandRoutes, KeyCombosApplyTheAssignmentAtOnce)
{
    const auto media = app::itemSelectRoute(L"keyset_media_combo");
    ASSERT_TRUE(media);
    EXPECT_EQ(media->owner, RouteOwner::Keys);
    EXPECT_TRUE(media->alsoSavesKey);
    const auto function = app::itemSelectRoute(L"keyset_function_combo");
    ASSERT_TRUE(function);
    EXPECT_EQ(function->command, L"keyset_function_combo");
    EXPECT_TRUE(function->alsoSavesKey);
    EXPECT_FALSE(app::itemSelectRoute(L"macro_name_list")->alsoSavesKey);
}

TEST(CommandRoutes, SlidersEditsAndOtherTypes)
{
    EXPECT_EQ(app::valueChangedRoute(L"novik_DPI_slider_1", true)->owner, RouteOwner::Window);
    EXPECT_FALSE(app::valueChangedRoute(L"novik_DPI_slider_1", false));
    EXPECT_EQ(app::valueChangedRoute(L"repeat_rate_slider", false)->need, DeviceNeed::Keyboard);
    EXPECT_EQ(app::killFocusRoute(L"DPI_edit_4")->number, 4);
    EXPECT_EQ(app::otherRoute(L"click_select_end", L"keyboard_device_key_light")->need,
              DeviceNeed::Keyboard);
    EXPECT_TRUE(app::otherRoute(L"setfocus", L"keyset_keyboard_text_edit"));
    EXPECT_FALSE(app::otherRoute(L"msenter", L"closebtn"));
    EXPECT_EQ(app::menuRoute(L"left_click")->owner, RouteOwner::Macros);
    EXPECT_EQ(app::functionTabNumber(L"key_Op_tab"), 2);
    EXPECT_EQ(app::functionTabNumber(L"Virtual7.1_Op_tab"), 8);
    EXPECT_FALSE(app::functionTabNumber(L"device_select"));
}

TEST(CommandRoutes, SavingMayNameANewFileAndGetsTheFiltersExtension)
{
    const auto open = app::fileDialogRequest(false, L"Macro Files(*.mac)", L"mac");
    EXPECT_TRUE(open.fileMustExist);
    EXPECT_EQ(open.pattern, L"*.mac;");
    const auto save = app::fileDialogRequest(true, L"Shoot Files(*.shoot)", L"shoot");
    EXPECT_FALSE(save.fileMustExist);
    EXPECT_EQ(save.defaultExtension, L"shoot");
    EXPECT_EQ(save.filterName, L"Shoot Files(*.shoot)");
}
