#include "device/model/lighting_engine.h"
#include "device/model/lighting_tables.h"

#include <gtest/gtest.h>

using namespace model;
using std::chrono::milliseconds;

namespace {

OverlayEntry entry(int mode, int brightness = 4, int speed = 0)
{
    OverlayEntry e;
    e.mode = std::uint8_t(mode);
    e.brightness = std::uint8_t(brightness);
    e.speed = std::uint8_t(speed);
    e.red = 1;
    e.green = 2;
    e.blue = 3;
    e.present = 1;
    return e;
}

// An engine in the off mode, so anything lit came from the overlay.
LightingEngine darkEngine()
{
    LightingEngine engine;
    EffectSettings settings;
    settings.mode = 28;
    engine.setSettings(settings);
    engine.stepMode(milliseconds(0));
    return engine;
}

} // namespace

TEST(KeyOverlay, EntriesPaintTheirOwnLightOnly)
{
    LightingEngine engine = darkEngine();
    std::vector<OverlayEntry> entries(3);
    entries[0] = entry(1, 2);    // static at level 128
    entries[1] = OverlayEntry{}; // null: nothing
    entries[2] = entry(1, 9);    // a level beyond the table is the top level
    engine.setOverlay(entries);
    engine.applyOverlay(milliseconds(0));
    EXPECT_EQ(engine.lights().get(0), (LightColour{1, 2, 3, 128}));
    EXPECT_EQ(engine.lights().get(1), LightColour{});
    EXPECT_EQ(engine.lights().get(2), (LightColour{1, 2, 3, 255}));
    EXPECT_EQ(engine.lights().get(3), LightColour{});
}

TEST(KeyOverlay, OffEntryDarkensTheEffectUnderIt)
{
    LightingEngine engine;
    EffectSettings settings;
    settings.mode = 17;
    settings.brightness = 4;
    settings.speed = 4; // a step on every tick
    engine.setSettings(settings);
    std::vector<OverlayEntry> entries(2);
    entries[1] = entry(4);
    engine.setOverlay(entries);
    (void)engine.runPass(milliseconds(0), 1);
    EXPECT_EQ(engine.lights().get(1), LightColour{});
    EXPECT_NE(engine.lights().get(0), LightColour{});
}

TEST(KeyOverlay, BreathingNeedsThePresentFlagAndWalksTheWheelOnce)
{
    LightingEngine engine = darkEngine();
    std::vector<OverlayEntry> entries{entry(0, 4, 4), entry(0, 4, 4)};
    entries[0].multiColour = 1;
    entries[1].present = 0; // a breathing entry that was not an object stays dark
    engine.setOverlay(entries);
    // Speed 4 moves 8 a pass: 16 passes to a new breath.
    for (int pass = 0; pass < 15; ++pass)
        engine.applyOverlay(milliseconds(0));
    EXPECT_EQ(engine.lights().get(0).rgb(), wheelColour(0));
    EXPECT_EQ(engine.lights().get(0).brightness, breathingCurve(120) * 255 / 256);
    engine.applyOverlay(milliseconds(0));
    EXPECT_EQ(engine.lights().get(0).rgb(), wheelColour(1));
    EXPECT_EQ(engine.lights().get(1), LightColour{});

    for (int pass = 0; pass < 16 * 200; ++pass)
        engine.applyOverlay(milliseconds(0));
    EXPECT_EQ(engine.lights().get(0).rgb(), wheelColour(191));
}

TEST(KeyOverlay, BlinkWithASpeedBeyondTheTableTogglesEveryPass)
{
    LightingEngine engine = darkEngine();
    engine.setOverlay(std::vector<OverlayEntry>{entry(2, 4, 60)});
    engine.applyOverlay(milliseconds(5));
    EXPECT_EQ(engine.lights().get(0), (LightColour{1, 2, 3, 255}));
    engine.applyOverlay(milliseconds(5));
    EXPECT_EQ(engine.lights().get(0), LightColour{});

    engine.setOverlay(std::vector<OverlayEntry>{entry(2, 4, 4)}); // 1400 ms
    engine.applyOverlay(milliseconds(1400));
    engine.applyOverlay(milliseconds(2799));
    EXPECT_EQ(engine.lights().get(0), (LightColour{1, 2, 3, 255}));
    engine.applyOverlay(milliseconds(2800));
    EXPECT_EQ(engine.lights().get(0), LightColour{});
}

TEST(KeyOverlay, EntriesBeyondTheLightsAreIgnored)
{
    LightingEngine engine = darkEngine();
    std::vector<OverlayEntry> entries(kLightCount + 30, entry(1));
    engine.setOverlay(entries);
    engine.applyOverlay(milliseconds(0));
    EXPECT_EQ(engine.lights().get(kLightCount - 1), (LightColour{1, 2, 3, 255}));
}

TEST(CustomEffect, PlaysStepsInTurnAndGoesDarkWithoutThem)
{
    LightingEngine engine;
    EffectSettings settings;
    settings.mode = 19;
    LightingProfile profile;
    profile.settings = settings;
    engine.showLighting(profile);
    (void)engine.runPass(milliseconds(0), 1);
    EXPECT_EQ(engine.lights().get(0), LightColour{});

    EffectStep red;
    red.mode = 1;
    red.brightness = 4;
    red.red = 255;
    red.time = 100;
    EffectStep blue = red;
    blue.red = 0;
    blue.blue = 255;
    blue.brightness = 2;
    profile.effectSteps = {red, blue};
    engine.showLighting(profile);
    (void)engine.runPass(milliseconds(1000), 1);
    EXPECT_EQ(engine.lights().get(7), (LightColour{255, 0, 0, 255}));
    (void)engine.runPass(milliseconds(1100), 1);
    EXPECT_EQ(engine.lights().get(7), (LightColour{255, 0, 0, 255}));
    (void)engine.runPass(milliseconds(1101), 1); // more than the step's time has passed
    (void)engine.runPass(milliseconds(1102), 1);
    EXPECT_EQ(engine.lights().get(7), (LightColour{0, 0, 255, 128}));
    (void)engine.runPass(milliseconds(1300), 1);
    (void)engine.runPass(milliseconds(1301), 1); // and round to the first step
    EXPECT_EQ(engine.lights().get(7), (LightColour{255, 0, 0, 255}));
}

TEST(CustomEffect, WaveRunsOverTheLightsByTheStepsDirection)
{
    LightingEngine engine;
    LightingProfile profile;
    EffectStep wave;
    wave.mode = 4;
    wave.brightness = 4;
    wave.speed = 200; // beyond the table: a move on every pass
    wave.red = 255;
    wave.time = 100000;
    profile.effectSteps = {wave};
    engine.showLighting(profile);
    (void)engine.runPass(milliseconds(0), 1);
    EXPECT_EQ(engine.phase(), 1);
    EXPECT_EQ(engine.lights().get(2).brightness, waveCurve(1 + 36) * 255 / 256);

    profile.effectSteps[0].direction = 1;
    engine.showLighting(profile);
    (void)engine.runPass(milliseconds(0), 1);
    EXPECT_EQ(engine.phase(), 191);
}
