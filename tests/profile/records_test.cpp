#include "profile/key_function_code.h"
#include "profile/light_info.h"
#include "profile/system_stages.h"

#include <gtest/gtest.h>

using namespace profile;

TEST(PackedRecords, LightInfoTravelsAsWordsLeastSignificantByteFirst)
{
    LightInfo info;
    info.mode = 0x11;
    info.brightness = 0x22;
    info.blue = 0x88;
    info.oldLedMode = 0xDD;
    const auto words = toWords(info);
    EXPECT_EQ(words[0], 0x00002211u);
    EXPECT_EQ(words[1], 0x88000000u);
    EXPECT_EQ(words[3], 0x0000DD00u); // byte 13 is the second byte of word 3
    EXPECT_EQ(lightInfoFromWords(words), info);
}

TEST(PackedRecords, AudioLightInfoIsTwoWordsAndAByte)
{
    AudioLightInfo info{1, 2, 3, 4, 5, 6, 7, 1, 1};
    const auto words = toWords(info);
    EXPECT_EQ(words.word0, 0x04030201u);
    EXPECT_EQ(words.word1, 0x01070605u);
    EXPECT_EQ(words.last, 1);
    EXPECT_EQ(audioLightInfoFromWords(words), info);
}

TEST(PackedRecords, SystemStagesPairFirstFieldInLowHalf)
{
    const KeyboardSystemStages stages{1, 2, 3, 4, 5, 6};
    const auto words = toWords(stages);
    EXPECT_EQ(words[0], 0x00020001u);
    EXPECT_EQ(words[2], 0x00060005u);
    EXPECT_EQ(keyboardStagesFromWords(words), stages);
}

TEST(KeyFunctionCodeInteger, SplitsIntoTypeAndParameters)
{
    const auto code = codeFromInteger(2097156, 7); // 20 00 04, the A key
    EXPECT_EQ(code.keyIndex, 7);
    EXPECT_EQ(code.type, 0x20);
    EXPECT_EQ(code.p1, 0);
    EXPECT_EQ(code.p2, 4);
    EXPECT_EQ(toInteger(makeCode(0x20, 0x01, 0x06)), 0x200106);
    // Bits above 23 do not leak into the type.
    EXPECT_EQ(codeFromInteger(static_cast<std::int32_t>(0xFF200104u), 0).type, 0x20);
    // Equality ignores the key index.
    EXPECT_EQ(makeCode(0x20, 1, 4, 3), makeCode(0x20, 1, 4, 9));
}
