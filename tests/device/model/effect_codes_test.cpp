#include "device/model/effect_codes.h"

#include <gtest/gtest.h>

#include <vector>

using namespace model;

TEST(EffectCodes, IndicesOutsideTheListOrTheRangeTakeEntryZero)
{
    std::vector<std::int32_t> codes(31);
    for (std::size_t i = 0; i < codes.size(); ++i)
        codes[i] = std::int32_t(100 + i);
    EXPECT_EQ(deviceEffectCode(5, codes, kKeyboardEffectLimit), 105);
    EXPECT_EQ(deviceEffectCode(31, codes, kKeyboardEffectLimit), 100);
    EXPECT_EQ(deviceEffectCode(12, codes, kMouseEffectLimit), 100);

    // A factory file with fewer effects than the device knows.
    const std::vector<std::int32_t> shortList{7, 8, 9};
    EXPECT_EQ(deviceEffectCode(20, shortList, kKeyboardEffectLimit), 7);
    EXPECT_EQ(deviceEffectCode(20, {}, kKeyboardEffectLimit), 0);
}

TEST(EffectCodes, CodesMapBackToTheFirstEntryCarryingThem)
{
    const std::vector<std::int32_t> codes{4, 9, 9, 2};
    EXPECT_EQ(effectIndexOfCode(9, codes), 1);
    EXPECT_EQ(effectIndexOfCode(2, codes), 3);
    EXPECT_EQ(effectIndexOfCode(77, codes), 77);
    EXPECT_EQ(effectIndexOfCode(3, {}), 3);
}
