#include "platform/text.h"

#include <gtest/gtest.h>

TEST(TextConversion, RoundTripsChineseAndAstralText)
{
    const std::wstring text = L"命令 返回 \U0001F3AE Ω";
    EXPECT_EQ(platform::fromUtf8(platform::toUtf8(text)), text);
    EXPECT_EQ(platform::toUtf8(L"命令"), "\xE5\x91\xBD\xE4\xBB\xA4");
}

TEST(TextConversion, BrokenUtf8BecomesReplacementCharacters)
{
    // A truncated sequence, a stray continuation byte, an overlong slash, a surrogate.
    const std::string broken = "a\xE5\x91"
                               "b\x80"
                               "c\xC0\xAF"
                               "d\xED\xA0\x80";
    const std::wstring text = platform::fromUtf8(broken);
    EXPECT_EQ(text.front(), L'a');
    EXPECT_EQ(text.find(L'/'), std::wstring::npos);
    EXPECT_NE(text.find(L'\uFFFD'), std::wstring::npos);
    EXPECT_NE(text.find(L'd'), std::wstring::npos);
}

TEST(TextCompare, IgnoresCaseButNotLength)
{
    EXPECT_TRUE(platform::equalsIgnoreCase(L"Device_Switch", L"device_switch"));
    EXPECT_FALSE(platform::equalsIgnoreCase(L"key_1", L"key_12"));
    EXPECT_LT(platform::compareIgnoreCase(L"abc", L"ABD"), 0);
    EXPECT_GT(platform::compareIgnoreCase(L"abcd", L"ABC"), 0);
}
