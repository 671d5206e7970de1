#include "shell/command_routes.h"

#include <gtest/gtest.h>

using shell::DeviceNeed;
using shell::RouteOwner;

TEST(CommandRoutes, NamesCompareWithoutCaseExceptTheExactRows)
{
    ASSERT_TRUE(shell::clickRoute(L"CloseBtn"));
    EXPECT_EQ(shell::clickRoute(L"CloseBtn")->command, L"closebtn");
    EXPECT_TRUE(shell::clickRoute(L"profile_fun_spread_btn"));
    EXPECT_FALSE(shell::clickRoute(L"Profile_Fun_Spread_Btn"));
    EXPECT_FALSE(shell::clickRoute(L"macro_inset_MoveLeftKey_btn"));
    EXPECT_FALSE(shell::clickRoute(L"no_such_button"));
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
        const auto route = shell::clickRoute(c.name);
        ASSERT_TRUE(route) << c.name;
        EXPECT_EQ(route->command, c.prefix);
        EXPECT_EQ(route->number, c.number);
    }
    // A number that does not fit is no number at all.
    EXPECT_FALSE(shell::clickRoute(L"key_99999999999"));
    EXPECT_FALSE(shell::clickRoute(L"key_"));
    const auto combo = shell::selectChangedRoute(L"key_ComBox_check_2");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->command, L"key_ComBox_check_");
    EXPECT_TRUE(combo->alsoSavesKey);
}

TEST(CommandRoutes, TheFirstClickRowsSayWhetherTheyGoOn)
{
    EXPECT_FALSE(shell::clickRoute(L"closebtn")->continues);
    EXPECT_FALSE(shell::clickRoute(L"minbtn")->continues);
    EXPECT_TRUE(shell::clickRoute(L"nodevice_ok_btn")->continues);
    EXPECT_TRUE(shell::clickRoute(L"control_light_status")->continues);
    EXPECT_TRUE(shell::clickRoute(L"setbtn")->continues);
}

TEST(CommandRoutes, KeyCombosApplyTheAssignmentAtOnce)
{
    const auto media = shell::itemSelectRoute(L"keyset_media_combo");
    ASSERT_TRUE(media);
    EXPECT_EQ(media->owner, RouteOwner::Keys);
    EXPECT_TRUE(media->alsoSavesKey);
    const auto function = shell::itemSelectRoute(L"keyset_function_combo");
    ASSERT_TRUE(function);
    EXPECT_EQ(function->command, L"keyset_function_combo");
    EXPECT_TRUE(function->alsoSavesKey);
    EXPECT_FALSE(shell::itemSelectRoute(L"macro_name_list")->alsoSavesKey);
}

TEST(CommandRoutes, SlidersEditsAndOtherTypes)
{
    EXPECT_EQ(shell::valueChangedRoute(L"DPI_slider_1", true)->owner, RouteOwner::Mouse);
    EXPECT_FALSE(shell::valueChangedRoute(L"novik_DPI_slider_1", true)) << "no skin has it";
    EXPECT_EQ(shell::valueChangedRoute(L"repeat_rate_slider", false)->need, DeviceNeed::Keyboard);
    EXPECT_EQ(shell::killFocusRoute(L"DPI_edit_4")->number, 4);
    EXPECT_EQ(shell::otherRoute(L"click_select_end", L"keyboard_device_key_light")->need,
              DeviceNeed::Keyboard);
    EXPECT_TRUE(shell::otherRoute(L"setfocus", L"keyset_keyboard_text_edit"));
    EXPECT_FALSE(shell::otherRoute(L"msenter", L"closebtn"));
    EXPECT_EQ(shell::menuRoute(L"left_click")->owner, RouteOwner::Macros);
    EXPECT_EQ(shell::functionTabNumber(L"key_Op_tab"), 2);
    EXPECT_EQ(shell::functionTabNumber(L"Virtual7.1_Op_tab"), 8);
    EXPECT_FALSE(shell::functionTabNumber(L"device_select"));
}

TEST(CommandRoutes, SavingMayNameANewFileAndGetsTheFiltersExtension)
{
    const auto open = shell::fileDialogRequest(false, L"Macro Files(*.mac)", L"mac");
    EXPECT_TRUE(open.fileMustExist);
    EXPECT_EQ(open.pattern, L"*.mac;");
    const auto save = shell::fileDialogRequest(true, L"Shoot Files(*.shoot)", L"shoot");
    EXPECT_FALSE(save.fileMustExist);
    EXPECT_EQ(save.defaultExtension, L"shoot");
    EXPECT_EQ(save.filterName, L"Shoot Files(*.shoot)");
}
