#include "device/model/lighting_profile_adapter.h"

#include "device/model/lighting_engine.h"

#include <gtest/gtest.h>

using namespace model;

TEST(LightingProfileAdapter, StoredRecordsDriveTheEngine)
{
    profile::LightInfo info;
    info.mode = 30;
    info.brightness = 2;
    info.speed = 4;
    info.direction = 1;
    profile::AudioLightInfo audio;
    audio.audioMode = 5;
    audio.foreRed = 9;
    audio.backBlue = 8;
    audio.multiColour = 1;

    // Light list: light 0 a null element, light 1 a static key.
    std::vector<profile::LightInfo> lightList(2);
    lightList[1].mode = 1;
    lightList[1].brightness = 4;
    lightList[1].red = 7;
    lightList[1].present = 1;
    profile::EffectStep step;
    step.mode = 1;
    step.red = 3;
    step.time = 500;
    step.cycle = 2;
    const std::vector<profile::RgbaColour> colours{{1, 2, 3, 99}};

    const LightingProfile lighting =
        lightingProfileFrom(info, audio, lightList, {&step, 1}, colours);
    EXPECT_EQ(lighting.settings.mode, 30);
    EXPECT_EQ(lighting.settings.brightness, 2);
    EXPECT_EQ(lighting.audio.style, 5);
    EXPECT_EQ(lighting.audio.foreground, (Rgb{9, 0, 0}));
    EXPECT_EQ(lighting.audio.background, (Rgb{0, 0, 8}));
    EXPECT_TRUE(lighting.overlay[0].isNull());
    EXPECT_EQ(lighting.effectSteps[0].time, 500);
    EXPECT_EQ(lighting.customColours[0], (Rgb{1, 2, 3}));

    LightingEngine engine;
    engine.showLighting(lighting);
    const std::int32_t external[] = {255, 255, 255};
    engine.setExternalColour(external);
    (void)engine.runPass(std::chrono::milliseconds(0), 1);
    EXPECT_EQ(engine.lights().get(0), (LightColour{255, 255, 255, 128}));
    EXPECT_EQ(engine.lights().get(1), (LightColour{7, 0, 0, 255}));
}
