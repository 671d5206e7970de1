// The lighting page's rules without controls: what each effect leaves usable and how the
// colour edits read what is typed.
#include "pages/models/light_page_model.h"

#include <gtest/gtest.h>

using pages::lightPageStates;
using Kind = detect::DeviceKind;

TEST(LightPageStates, KeyboardEffectsSwitchTheirAreas)
{
    // The sub-mode list replaces the speed area.
    auto wheel = lightPageStates(Kind::Keyboard, 17, true);
    EXPECT_EQ(wheel.speedShown, false);
    EXPECT_EQ(wheel.subModeShown, true);
    EXPECT_EQ(wheel.colourLayoutEnabled, false);

    // Custom colours: the paint tools instead of speed, one colour without the cycle.
    auto custom = lightPageStates(Kind::Keyboard, pages::kCustomEffect, true);
    EXPECT_EQ(custom.customShown, true);
    EXPECT_EQ(custom.speedShown, false);
    EXPECT_EQ(custom.sevenColourEnabled, false);
    EXPECT_EQ(custom.colourAreasEnabled, true);

    auto audio = lightPageStates(Kind::Keyboard, pages::kAudioEffect, true);
    EXPECT_EQ(audio.audioModeShown, true);
    EXPECT_EQ(audio.colourTab, 1);
    EXPECT_EQ(audio.speedShown, false);

    for (int effect : {0, 19, 31, 255}) {
        auto none = lightPageStates(Kind::Keyboard, effect, true);
        EXPECT_EQ(none.lightEnabled, false) << effect;
        EXPECT_EQ(none.speedEnabled, false) << effect;
        EXPECT_EQ(none.fxEnabled, false) << effect;
        EXPECT_EQ(none.sevenColourEnabled, false) << effect;
        EXPECT_EQ(none.sameShown, false) << effect;
        EXPECT_EQ(none.colourTab, 0) << effect;
    }

    // Rings and the row wave name their directions.
    EXPECT_EQ(lightPageStates(Kind::Keyboard, 18, false).firstDirectionText,
              std::wstring_view(L"light_set_outside_to_inside_text"));
    EXPECT_EQ(lightPageStates(Kind::Keyboard, 12, false).rgbEnabled, false);
    EXPECT_EQ(lightPageStates(Kind::Keyboard, 3, false).secondDirectionText,
              std::wstring_view(L"light_set_anticlockwise_text"));
}

TEST(LightPageStates, TheSameLightingButtonOnlyWhereTheEffectIsShared)
{
    for (int effect = 0; effect <= 31; ++effect) {
        const bool shared =
            effect == 4 || effect == 5 || effect == 6 || effect == 23 || effect == 28;
        EXPECT_EQ(lightPageStates(Kind::Keyboard, effect, true).sameShown.value_or(false), shared)
            << effect;
        EXPECT_EQ(lightPageStates(Kind::Keyboard, effect, false).sameShown.value_or(false), false)
            << effect;
    }
    // The mouse shares 1, 2, 3, 4, 9; pads and headsets 1, 2, 3, 4, 8.
    for (int effect = 0; effect <= 10; ++effect) {
        EXPECT_EQ(lightPageStates(Kind::Mouse, effect, true).sameShown.value_or(false),
                  effect >= 1 && (effect <= 4 || effect == 6 || effect == 9))
            << effect;
        EXPECT_EQ(lightPageStates(Kind::MousePad, effect, true).sameShown.value_or(false),
                  effect >= 1 && (effect <= 4 || effect == 8))
            << effect;
    }
    // Headsets take the pads' list; a page never told its kind leaves its areas as they are.
    EXPECT_EQ(lightPageStates(Kind::Headset, 8, true).sameShown, true);
    EXPECT_FALSE(lightPageStates(std::nullopt, 2, true).sameShown);
    EXPECT_FALSE(lightPageStates(std::nullopt, 2, true).fxEnabled);
}

TEST(ColourComponent, TypedTextIsHeldToAByte)
{
    EXPECT_EQ(pages::parseColourComponent(L"300"), 255);
    EXPECT_EQ(pages::parseColourComponent(L""), 0);
    EXPECT_EQ(pages::parseColourComponent(L"  42abc"), 42);
    EXPECT_EQ(pages::parseColourComponent(L"+7"), 7);
    // A sign must not wrap around to a bright value, nor a long number overflow.
    EXPECT_EQ(pages::parseColourComponent(L"-5"), 0);
    EXPECT_EQ(pages::parseColourComponent(L"-300"), 0);
    EXPECT_EQ(pages::parseColourComponent(L"99999999999999999999999999"), 255);
    EXPECT_EQ(pages::parseColourComponent(L"abc"), 0);
    EXPECT_EQ(pages::parseColourComponent(L"255"), 255);
}

TEST(ColourComponent, ArgbRoundTrips)
{
    EXPECT_EQ(pages::argbOf(0x12, 0x34, 0x56), 0xFF123456u);
    const pages::Rgb8 back = pages::componentsOf(0xFF123456u);
    EXPECT_EQ(back.red, 0x12);
    EXPECT_EQ(back.green, 0x34);
    EXPECT_EQ(back.blue, 0x56);
}

TEST(AudioColours, AForegroundColourEndsTheCycleABackgroundOneDoesNot)
{
    profile::AudioLightInfo audio{};
    audio.multiColour = 1;
    audio.colourSelector = 0;
    pages::setAudioColour(audio, pages::slotOf(audio), {1, 2, 3});
    EXPECT_EQ(audio.backGreen, 2);
    EXPECT_EQ(audio.multiColour, 1);
    audio.colourSelector = 1;
    pages::setAudioColour(audio, pages::slotOf(audio), {4, 5, 6});
    EXPECT_EQ(audio.foreBlue, 6);
    EXPECT_EQ(audio.multiColour, 0);
    EXPECT_EQ(pages::audioColour(audio, pages::AudioColourSlot::Background).red, 1);
}
