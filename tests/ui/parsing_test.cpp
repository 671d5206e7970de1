#include "ui/control_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/render.h"

#include "platform/text.h"

#include <gtest/gtest.h>

TEST(ImageString, BareKeyedAbsoluteAndMalformedForms)
{
    auto bare = ui::parseImageString(L"  common/background.png ");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->file, L"common/background.png");
    EXPECT_FALSE(bare->dest);

    auto keyed =
        ui::parseImageString(L"file='power/powered.png' dest='2,3,18,19' source='0,0,16,16'");
    ASSERT_TRUE(keyed);
    EXPECT_EQ(keyed->file, L"power/powered.png");
    ASSERT_TRUE(keyed->dest);
    EXPECT_EQ(keyed->dest->left, 2);
    EXPECT_EQ(keyed->dest->bottom, 19);
    ASSERT_TRUE(keyed->source);
    EXPECT_EQ(keyed->source->right, 16);

    // A path with an equals sign but no quotes is still a path.
    auto odd = ui::parseImageString(L"skins/a=b.png");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->file, L"skins/a=b.png");

    EXPECT_FALSE(ui::parseImageString(L""));
    EXPECT_FALSE(ui::parseImageString(L"   "));
    EXPECT_FALSE(ui::parseImageString(L"file='unterminated.png"));
    EXPECT_FALSE(ui::parseImageString(L"dest='1,2,3,4'")) << "no file";
    // A broken rectangle is dropped, the image still draws.
    auto badDest = ui::parseImageString(L"file='a.png' dest='1,x'");
    ASSERT_TRUE(badDest);
    EXPECT_FALSE(badDest->dest);
}

TEST(ImageString, FilesResolveBelowTheResourcePathWithEitherSeparator)
{
    const auto old = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath(L"/opt/halvek/skin\\");
    EXPECT_EQ(ui::resolveResourceFile(L"common\\device_ico\\kb.png"),
              std::filesystem::path("/opt/halvek/skin/common/device_ico/kb.png"));
    EXPECT_EQ(ui::resolveResourceFile(L"common/base1.png"),
              std::filesystem::path("/opt/halvek/skin/common/base1.png"));
    EXPECT_EQ(ui::resolveResourceFile(L"/home/me/wall.png"),
              std::filesystem::path("/home/me/wall.png"));
    CPaintManagerUI::SetResourcePath(old);
}

TEST(AttributeValues, ColoursNumbersAndRectangles)
{
    struct Case {
        const wchar_t* text;
        DWORD color;
    };
    const Case colors[] = {
        {L"#FF0099FF", 0xFF0099FF},
        {L"#0099FF", 0xFF0099FF},
        {L"0x444444", 0x00444444},
        {L"4278190080", 0xFF000000},
        {L"#", 0},
        {L"#FFFFFFFFFF", 0},
        {L"none", 0},
    };
    for (const auto& c : colors)
        EXPECT_EQ(parseColor(c.text), c.color) << platform::toUtf8(c.text);

    EXPECT_EQ(parseInt(L" -12x"), -12);
    EXPECT_EQ(parseInt(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(parseInt(L"-99999999999999999999"), -2147483648LL);
    const RECT partial = parseRectAttribute(L"1,2");
    EXPECT_EQ(partial.left, 1);
    EXPECT_EQ(partial.top, 2);
    EXPECT_EQ(partial.bottom, 0);
    EXPECT_TRUE(parseBool(L"TRUE"));
    EXPECT_FALSE(parseBool(L"yes"));
}

TEST(WindowMessages, CoordinatesLeftAndAboveTheScreenStayNegative)
{
    const LPARAM l = MAKELPARAM(-5, -300);
    EXPECT_EQ(GET_X_LPARAM(l), -5);
    EXPECT_EQ(GET_Y_LPARAM(l), -300);
    EXPECT_EQ(LOWORD(0x12345678u), 0x5678);
    EXPECT_EQ(HIWORD(0x12345678u), 0x1234);
}
