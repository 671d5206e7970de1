#include "platform/hex.h"

#include <gtest/gtest.h>

#include <limits>

TEST(HexDigit, TakesBothCasesAndNothingElse)
{
    EXPECT_EQ(platform::hexDigit('0'), 0u);
    EXPECT_EQ(platform::hexDigit('9'), 9u);
    EXPECT_EQ(platform::hexDigit('a'), 10u);
    EXPECT_EQ(platform::hexDigit('F'), 15u);
    EXPECT_EQ(platform::hexDigit(L'f'), 15u);
    EXPECT_EQ(platform::hexDigit(L'B'), 11u);
    // Neighbours of the ranges, and bytes above 0x7F (negative as plain char).
    for (const char c : {'/', ':', '@', 'G', '`', 'g', 'x', ' ', '\0', '\xE9', '\xFF'})
        EXPECT_FALSE(platform::hexDigit(c)) << int(c);
    // Full-width digits and letters are not ASCII digits.
    for (const wchar_t c : {L'g', L'\uFF11', L'\uFF41', static_cast<wchar_t>(0x130)})
        EXPECT_FALSE(platform::hexDigit(c)) << int(c);
}

TEST(ParseHex, ReadsWholeRunsInEitherCase)
{
    EXPECT_EQ(platform::parseHex("0", 0xFF), 0u);
    EXPECT_EQ(platform::parseHex("00ff", 0xFF), 0xFFu);
    EXPECT_EQ(platform::parseHex("DeadBeef", 0xFFFFFFFF), 0xDEADBEEFu);
    EXPECT_EQ(platform::parseHex(L"1a2B", 0xFFFF), 0x1A2Bu);
}

TEST(ParseHex, RefusesPastTheCallersBoundWithoutWrapping)
{
    EXPECT_EQ(platform::parseHex("ff", 0xFF), 0xFFu);
    EXPECT_FALSE(platform::parseHex("100", 0xFF));
    EXPECT_FALSE(platform::parseHex("1", 0));
    EXPECT_EQ(platform::parseHex("0000", 0), 0u);
    constexpr auto top = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(platform::parseHex("ffffffffffffffff", top), top);
    // Seventeen digits would wrap a 64-bit value back into range.
    EXPECT_FALSE(platform::parseHex("10000000000000000", top));
    EXPECT_FALSE(platform::parseHex(L"1ffffffffffffffff", top));
}

TEST(ParseHex, RefusesEmptyTextAndAnyOtherCharacter)
{
    for (const char* text : {"", "0x10", "#10", "-1", "+1", " 1", "1 ", "1g", "12\xE9"})
        EXPECT_FALSE(platform::parseHex(text, 0xFFFFFFFF)) << text;
    EXPECT_FALSE(platform::parseHex(std::string_view("1\0"
                                                     "2",
                                                     3),
                                    0xFFFF));
    EXPECT_FALSE(platform::parseHex(L"", 0xFF));
    EXPECT_FALSE(platform::parseHex(L"\uFF11", 0xFF));
}
