#include "device/model/lighting_tables.h"

#include <gtest/gtest.h>

#include <set>

using namespace model;

TEST(LightingTables, ColourWheelMatchesItsTellingRows)
{
    const std::pair<int, Rgb> rows[] = {
        {0, {255, 1, 0}},   {16, {255, 81, 0}},  {32, {248, 255, 0}},  {48, {69, 255, 0}},
        {64, {0, 255, 1}},  {80, {0, 255, 81}},  {96, {0, 248, 255}},  {112, {0, 69, 255}},
        {128, {1, 0, 255}}, {144, {81, 0, 255}}, {160, {255, 0, 248}}, {176, {255, 0, 69}},
        {191, {255, 0, 0}}, {192, {255, 1, 0}},  {-1, {255, 0, 0}},
    };
    for (const auto& [index, colour] : rows)
        EXPECT_EQ(wheelColour(index), colour) << "entry " << index;
}

TEST(LightingTables, CurvesMatchTheirTellingRows)
{
    const std::pair<int, int> breathing[] = {
        {8, 8},    {16, 22},  {24, 45},  {32, 77}, {40, 114}, {48, 158}, {56, 206}, {64, 255},
        {72, 200}, {80, 152}, {88, 109}, {96, 73}, {104, 42}, {112, 20}, {120, 7},  {0, 0}};
    for (const auto& [index, value] : breathing)
        EXPECT_EQ(breathingCurve(index), value) << "breathing " << index;

    const std::pair<int, int> wave[] = {{0, 22},   {12, 61},  {24, 114}, {36, 182},
                                        {48, 255}, {60, 176}, {72, 109}, {84, 57}};
    for (const auto& [index, value] : wave)
        EXPECT_EQ(waveCurve(index), value) << "wave " << index;

    const std::pair<int, int> fade[] = {
        {0, 0},    {4, 22},   {8, 77},  {12, 120}, {16, 158}, {20, 191}, {24, 255}, {32, 200},
        {40, 152}, {48, 109}, {56, 73}, {64, 42},  {72, 20},  {80, 7},   {88, 0},   {191, 0}};
    for (const auto& [index, value] : fade)
        EXPECT_EQ(fadeCurve(index), value) << "fade " << index;
}

TEST(LightingTables, ThresholdsHalfPeriodsAndLevelsStayInsideTheirTables)
{
    EXPECT_EQ(stepThreshold(5, 0), 5);
    EXPECT_EQ(stepThreshold(5, 4), 1);
    EXPECT_EQ(stepThreshold(12, 1), 2);
    EXPECT_EQ(stepThreshold(16, 4), 4);
    EXPECT_EQ(stepThreshold(18, 0), 1);
    EXPECT_EQ(stepThreshold(30, 0), 1);
    EXPECT_EQ(stepThreshold(30, 1), 0);
    // Speeds come from profiles and device replies ("4 - byte" may give 60 or -196).
    EXPECT_EQ(stepThreshold(5, 5), 0);
    EXPECT_EQ(stepThreshold(5, 200), 0);
    EXPECT_EQ(stepThreshold(5, -1), 0);

    EXPECT_EQ(blinkHalfPeriod(0), 28);
    EXPECT_EQ(blinkHalfPeriod(4), 7);
    EXPECT_EQ(blinkHalfPeriod(5), 0);
    EXPECT_EQ(blinkHalfPeriod(255), 0);

    EXPECT_EQ(brightnessLevel(0), 0);
    EXPECT_EQ(brightnessLevel(2), 128);
    EXPECT_EQ(brightnessLevel(4), 255);
    EXPECT_EQ(brightnessLevel(5), 255);
    EXPECT_EQ(brightnessLevel(255), 255);
}

TEST(LightingTables, PhaseStepsWrapAsTheEffectsExpect)
{
    EXPECT_EQ(stepPhase(true, 192, 190, 1), 191);
    EXPECT_EQ(stepPhase(true, 192, 191, 1), 0);
    EXPECT_EQ(stepPhase(true, 192, 185, 9), 0); // reaching the limit restarts at 0, no carry
    EXPECT_EQ(stepPhase(false, 128, 1, 1), 0);
    EXPECT_EQ(stepPhase(false, 128, 0, 1), 127);
    EXPECT_EQ(stepPhase(false, 52, 2, 5), 47); // limit - amount, not a wrap by the remainder
}

TEST(LightingTables, AudioFadeRunsDownTheKnownSequence)
{
    const int expected[] = {255, 210, 165, 120, 85, 60, 50, 40, 30, 25, 20, 15, 14};
    int value = 255;
    for (int step : expected) {
        EXPECT_EQ(value, step);
        value -= fadeAmount(value, 29);
    }
    for (int i = 0; i < 14; ++i)
        value -= fadeAmount(value, 29);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(fadeAmount(0, 29), 0);
    // The first mode column differs from the others only from 32 to 63.
    EXPECT_EQ(fadeAmount(40, 0), 15);
    EXPECT_EQ(fadeAmount(40, 8), 10);
    EXPECT_EQ(fadeAmount(150, 0), 40);
}

TEST(LightingTables, OrdersAndGridsHoldOnlyLightsOrGaps)
{
    std::set<int> sweep;
    int sweepLength = 0;
    for (int light : kSweepOrder) {
        if (light == kNoLight)
            break;
        EXPECT_TRUE(sweep.insert(light).second) << "light " << light << " twice";
        ++sweepLength;
    }
    EXPECT_EQ(sweepLength, 107);
    EXPECT_EQ(kSweepOrder[0], 15);
    EXPECT_EQ(kSweepOrder[106], 77);
    EXPECT_FALSE(isInSweepOrder(100)); // ring 6 names it, so rings must skip it
    EXPECT_TRUE(isInSweepOrder(49));

    EXPECT_EQ(kTrailOrder[66], kNoLight);
    EXPECT_EQ(kTrailOrder[109], 105);
    EXPECT_EQ(kTrailOrder[110], kNoLight);

    EXPECT_EQ(gridLight(0, 5), 124);
    EXPECT_EQ(gridLight(10, 2), 51);
    EXPECT_EQ(gridLight(22, 5), 131);
    EXPECT_EQ(gridLight(23, 0), kNoLight);
    EXPECT_EQ(gridLight(0, -1), kNoLight);
    EXPECT_EQ(wideGridLight(20, 0), 125);
    EXPECT_EQ(wideGridLight(0, 0), kWideNone);
    EXPECT_EQ(kPhaseSeeds.back(), 0);
    EXPECT_EQ(kRainPath[51][8], 120);
}
