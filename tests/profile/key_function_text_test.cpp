#include "profile/key_function_text.h"

#include <gtest/gtest.h>

using namespace profile;

TEST(KeyFunctionText, TextBecomesTheCodeThePageWouldMake)
{
    const KeyAssignment esc{makeCode(0x70, 1, 0, 0), makeCode(0x20, 0x00, 0x29, 0)};
    const std::vector<std::wstring> macros{L"macro_1", L"Fire: burst"};
    const struct {
        const char* text;
        std::int32_t code;
    } cases[] = {
        {"Ctrl+C", 0x200106},
        {"ctrl+c", 0x200106},
        {"Shift+F5", 0x20023E},
        {"Esc", 0x200029},
        {"escape", 0x200029},
        {"Alt+Page Up", 0x20044B},
        {"Ctrl+-", 0x20012D},
        {"Win+Num +", 0x200857},
        {"Shift", 0x200200},
        {"none", 0x200000},
        {"default", 0x200029},
        {"mouse:back", 0x100800},
        {"media:play", 0x30CD00},
        {"media:wed_stop", 0x302602},
        {"system:wake", 0x400400},
        {"combo:4", 0x200106},
        {"macro:MACRO_1", 0x700000},
        {"macro:macro_1:repeat=7", 0x710007},
        {"macro:Fire: burst:mode=3", 0x700103},
    };
    for (const auto& c : cases) {
        const auto parsed = parseKeyFunction(c.text, esc, macros);
        ASSERT_TRUE(parsed.ok) << c.text << ": " << parsed.error;
        EXPECT_EQ(toInteger(parsed.code), c.code) << c.text;
    }
}

TEST(KeyFunctionText, RefusalsSayWhy)
{
    const KeyAssignment key{makeCode(0x20, 0, 0x29, 0), makeCode(0x20, 0, 0x29, 0)};
    for (const char* text : {"Ctrl+Shift+A", "Ctrl+Shift", "Hyper+A", "Fn", "", "mouse:side",
                             "media:louder", "system:reboot", "combo:11", "combo:x",
                             "macro:nothing", "macro:macro_1:repeat=256", "macro:macro_1:mode=4"}) {
        const auto parsed = parseKeyFunction(text, key, {L"macro_1"});
        EXPECT_FALSE(parsed.ok) << text;
        EXPECT_FALSE(parsed.error.empty()) << text;
    }
}
