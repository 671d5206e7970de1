#include "device/model/lighting_engine.h"
#include "device/model/lighting_tables.h"
#include "device/model/live_frame.h"

#include <gtest/gtest.h>

#include <set>

using namespace model;
using std::chrono::milliseconds;

namespace {

EffectSettings settingsFor(int mode, int speed = 4, int direction = 1, int multiColour = 0)
{
    EffectSettings settings;
    settings.mode = std::uint8_t(mode);
    settings.brightness = 4;
    settings.speed = std::uint8_t(speed);
    settings.direction = std::uint8_t(direction);
    settings.multiColour = std::uint8_t(multiColour);
    settings.red = 10;
    settings.green = 20;
    settings.blue = 30;
    return settings;
}

void expectEveryLight(const LightingEngine& engine, LightColour expected)
{
    for (std::size_t light = 0; light < kLightCount; ++light)
        ASSERT_EQ(engine.lights().get(light), expected) << "light " << light;
}

LightColour at(Rgb colour, std::uint8_t brightness)
{
    return {colour.red, colour.green, colour.blue, brightness};
}

} // namespace

TEST(EffectModes, OneColourModeShowsTheVariantsWheelEntry)
{
    const std::pair<int, int> variants[] = {{0, 174}, {1, 25}, {2, 70}, {3, 95}, {7, 174}};
    for (const auto& [direction, entry] : variants) {
        LightingEngine engine;
        engine.setSettings(settingsFor(17, 4, direction));
        engine.stepMode(milliseconds(0));
        SCOPED_TRACE(direction);
        expectEveryLight(engine, at(wheelColour(entry), 255));
    }
}

TEST(EffectModes, TheColourWheelTurnsRoundTheWheelFromItsVariant)
{
    // The picture shows what the keyboard does by itself: every step one entry further,
    // all lights alike, and round past the last entry.
    LightingEngine engine;
    engine.setSettings(settingsFor(17, 4, 3));
    for (int step = 0; step < kWheelSize + 2; ++step) {
        engine.stepMode(milliseconds(0));
        SCOPED_TRACE(step);
        expectEveryLight(engine, at(wheelColour(95 + step), 255));
    }
}

TEST(EffectModes, OffModeDarkensEveryLightAndEveryLed)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(4));
    engine.stepMode(milliseconds(0));
    engine.setSettings(settingsFor(28));
    engine.stepMode(milliseconds(0));
    expectEveryLight(engine, LightColour{});

    std::array<std::uint8_t, kKeyPositionCount> ledMap{};
    for (std::size_t i = 0; i < ledMap.size(); ++i)
        ledMap[i] = std::uint8_t(i);
    const ColourBuffer buffer = buildColourBuffer(engine.lights(), ledMap, Scaling::ByBrightness);
    for (std::uint8_t byte : buffer)
        ASSERT_EQ(byte, 0);
}

TEST(EffectModes, ExternalColourShowsTheFirstThreeValuesAtTheLevel)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(30));
    const std::int32_t red[] = {255, 0, 0};
    engine.setExternalColour(red);
    engine.stepMode(milliseconds(0));
    expectEveryLight(engine, {255, 0, 0, 255});

    const std::int32_t green[] = {0, 255, 0, 7, 8, 9};
    engine.setExternalColour(green);
    engine.stepMode(milliseconds(0));
    expectEveryLight(engine, {0, 255, 0, 255});

    // Only the low byte counts: 0x1FF is 255, -1 is 255 too.
    const std::int32_t wide[] = {0x1FF, -1, 256};
    engine.setExternalColour(wide);
    engine.stepMode(milliseconds(0));
    expectEveryLight(engine, {255, 255, 0, 255});
}

TEST(EffectModes, StartStepSpreadsHuesAroundTheWheel)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(11));
    const int first[] = {33, 66, 99, 132, 165, 6, 39, 72, 105, 138, 171, 12};
    for (int light = 0; light < 12; ++light)
        EXPECT_EQ(engine.hue(light), first[light]) << "light " << light;
    // A running sum of exactly 192 is the wheel's entry 0.
    EXPECT_EQ(engine.hue(63), 0);
    EXPECT_EQ(engine.hue(127), 0);
    for (std::size_t light = 0; light < kLightCount; ++light)
        ASSERT_LT(engine.hue(light), kWheelSize);

    engine.stepMode(milliseconds(0));
    EXPECT_EQ(engine.hue(0), 34);
    EXPECT_EQ(engine.lights().get(63), at(wheelColour(1), 255));
}

TEST(EffectModes, BreathingPacesByTicksAndSpeed)
{
    struct Case {
        int speed;
        int ticks;
        int expectedSteps;
    };
    for (const Case& c : {Case{4, 10, 10}, Case{0, 10, 2}, Case{0, 4, 0}, Case{9, 10, 10}}) {
        LightingEngine engine;
        engine.setSettings(settingsFor(5, c.speed));
        for (int tick = 0; tick < c.ticks; ++tick)
            (void)engine.runPass(milliseconds(tick), 1);
        EXPECT_EQ(engine.phase(), c.expectedSteps) << "speed " << c.speed;
    }
}

TEST(EffectModes, PassTellsTheThreadHowLongNothingChanges)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(5, 0)); // a step every fifth tick
    EXPECT_EQ(engine.runPass(milliseconds(0), 1), 4);
    EXPECT_EQ(engine.runPass(milliseconds(0), 4), 5);
    engine.setSettings(settingsFor(0)); // the custom effect counts every pass
    engine.setEffectSteps({EffectStep{}});
    EXPECT_EQ(engine.runPass(milliseconds(0), 1), 1);
    engine.setEffectSteps({}); // nothing to play: dark until something changes
    EXPECT_EQ(engine.runPass(milliseconds(0), 1), LightingEngine::kUntilChanged);
    // Effects the keyboard plays itself need no pass per step: the one colour's picture
    // turns slowly, the custom colours only change when painted.
    engine.setSettings(settingsFor(17, 4));
    EXPECT_GT(engine.runPass(milliseconds(0), 1), 60);
    engine.setSettings(settingsFor(20, 4));
    EXPECT_EQ(engine.runPass(milliseconds(0), 1), LightingEngine::kUntilChanged);
    // Unless a key breathes on top.
    OverlayEntry breathing{};
    breathing.mode = 0;
    breathing.brightness = 4;
    breathing.present = 1;
    engine.setOverlay(std::vector<OverlayEntry>{breathing});
    EXPECT_EQ(engine.runPass(milliseconds(0), 1), 1);
}

TEST(EffectModes, TrailHeadRunsAlongTheTrailOrderWithAGapBetweenPasses)
{
    LightingEngine forward;
    forward.setSettings(settingsFor(21, 4, 1));
    forward.stepMode(milliseconds(0));
    EXPECT_EQ(forward.intensity(0), 254 - 40); // set, then faded with the sweep order
    forward.stepMode(milliseconds(0));
    EXPECT_EQ(forward.intensity(1), 214);

    for (int step = 2; step < 171; ++step)
        forward.stepMode(milliseconds(0));
    EXPECT_EQ(forward.intensity(0), 0);
    forward.stepMode(milliseconds(0)); // after the empty step the head starts over
    EXPECT_EQ(forward.intensity(0), 214);

    // Backwards the head starts at position 169; positions 110-169 hold no light.
    LightingEngine backward;
    backward.setSettings(settingsFor(21, 4, 0));
    for (int step = 0; step < 60; ++step)
        backward.stepMode(milliseconds(0));
    for (std::size_t light = 0; light < kLightCount; ++light)
        ASSERT_EQ(backward.intensity(light), 0);
    backward.stepMode(milliseconds(0));
    EXPECT_EQ(backward.intensity(105), 214);
}

TEST(EffectModes, RainLightsItsPathAndCoolsTheHueCounters)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(24, 4, 1));
    engine.stepMode(milliseconds(0)); // phase 1: lights 0, 26, 27, 50, 51
    EXPECT_EQ(engine.intensity(26), 250);
    EXPECT_EQ(engine.hue(26), 3);
    EXPECT_EQ(engine.lights().get(26), at({10, 20, 30}, 249));
    EXPECT_EQ(engine.intensity(25), 0);
}

TEST(EffectModes, KeyBreathingStartsFromTheSeeds)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(15, 4, 1, 1));
    // Light 0 sits at wide column 2, row 1: seed 6 * 2 + 1, hue 14.
    EXPECT_EQ(engine.intensity(0), kPhaseSeeds[13]);
    EXPECT_EQ(engine.hue(0), 14);
    engine.stepMode(milliseconds(0));
    EXPECT_EQ(engine.intensity(0), kPhaseSeeds[13] + 2);
    EXPECT_EQ(engine.lights().get(0).rgb(), wheelColour(14));
    // Light 21 sits at wide column 1, row 2: seed 8, on the fade curve's fall.
    EXPECT_EQ(engine.intensity(21), kPhaseSeeds[8] + 2);
    EXPECT_EQ(engine.lights().get(21).brightness, 255 * fadeCurve(kPhaseSeeds[8] + 2) / 256);
}

TEST(EffectModes, SparklesRepeatWithTheSameSeed)
{
    auto run = [](std::uint32_t seed) {
        LightingEngine engine(seed);
        engine.setSettings(settingsFor(10, 4, 1, 1));
        for (int step = 0; step < 5; ++step)
            engine.stepMode(milliseconds(0));
        return engine.lights().snapshot();
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));
}

TEST(EffectModes, RippleModePaintsTheSpreadCells)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(9));
    engine.matrix().seedCell(10, 3);
    engine.stepMode(milliseconds(0)); // paints the seed, then spreads
    engine.stepMode(milliseconds(0)); // paints the four neighbours
    std::set<int> bright;
    for (std::size_t light = 0; light < kLightCount; ++light) {
        if (engine.intensity(light) == 255 - 40)
            bright.insert(int(light));
    }
    EXPECT_EQ(bright, (std::set<int>{gridLight(9, 3), gridLight(10, 2), gridLight(11, 3),
                                     gridLight(10, 4)}));
}

TEST(EffectModes, ShowRunsThroughItsStagesAndStartsOver)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(14));
    std::set<int> stages;
    for (int step = 0; step < 2000; ++step) {
        engine.stepMode(milliseconds(0));
        stages.insert(engine.matrix().stepCounter);
    }
    EXPECT_EQ(stages, (std::set<int>{0, 1, 2, 3, 4}));
}

TEST(EffectModes, BlinkTogglesByHalfPeriod)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(23, 4)); // 7 x 200 ms
    engine.stepMode(milliseconds(10'000));
    EXPECT_EQ(engine.lights().get(0), at({10, 20, 30}, 255));
    engine.stepMode(milliseconds(11'399));
    EXPECT_EQ(engine.lights().get(0), at({10, 20, 30}, 255));
    engine.stepMode(milliseconds(11'400));
    EXPECT_EQ(engine.lights().get(0), LightColour{});
}

TEST(EffectModes, RestartsOnlyOnAModeChangeOrInTheCustomMode)
{
    LightingEngine engine;
    engine.setSettings(settingsFor(4));
    engine.stepMode(milliseconds(0));
    engine.stepMode(milliseconds(0));
    engine.setSettings(settingsFor(4, 2)); // same mode: the phase runs on
    EXPECT_EQ(engine.phase(), 2);
    engine.setSettings(settingsFor(5));
    EXPECT_EQ(engine.phase(), 0);

    std::vector<Rgb> colours(kLightCount, Rgb{1, 2, 3});
    LightingProfile profile;
    profile.settings = settingsFor(20);
    profile.customColours = colours;
    engine.showLighting(profile);
    EXPECT_EQ(engine.lights().get(169), at({1, 2, 3}, 255));
    engine.paintCustomKey(5, {9, 9, 9});
    profile.customColours.assign(kLightCount, Rgb{4, 5, 6});
    engine.showLighting(profile); // mode 20 again: the new group's colours load
    EXPECT_EQ(engine.lights().get(5), at({4, 5, 6}, 255));
}

TEST(EffectModes, OnlyModesTheDeviceCannotShowSendLiveFrames)
{
    std::set<int> silent;
    for (int mode = 0; mode <= 31; ++mode) {
        LightingEngine engine;
        engine.setSettings(settingsFor(mode));
        if (!engine.sendsLiveFrame())
            silent.insert(mode);
    }
    EXPECT_EQ(silent, (std::set<int>{7, 8, 9, 16, 17, 18, 20}));
}

TEST(EffectModes, OutOfRangeSettingsNeverReadPastATable)
{
    // Bytes straight from a damaged profile or a device reply: every mode must still step.
    for (int mode = 0; mode <= 255; mode += 1) {
        LightingEngine engine;
        EffectSettings settings = settingsFor(mode, 200, 9, 1);
        settings.brightness = 77;
        engine.setSettings(settings);
        for (int step = 0; step < 3; ++step)
            (void)engine.runPass(milliseconds(step * 16), 1);
        ASSERT_LE(engine.lights().get(0).brightness, 255);
    }
}
