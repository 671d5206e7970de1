#pragma once

#include <array>
#include <cstdint>

namespace profile {

// The 14-byte lighting record shared by the profile, the lighting page and the device.
// "LightList" entries use the same layout with `present` telling an object from a null.
struct LightInfo {
    std::uint8_t mode = 0;        // effect index ("SelectItem")
    std::uint8_t brightness = 0;  // "Light", step 0-4
    std::uint8_t speed = 0;       // "Speed", step 0-4
    std::uint8_t direction = 0;   // "Fx", nonzero = first direction
    std::uint8_t multiColour = 0; // "MultiColor", seven-colour cycling
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t reserved[2] = {0, 0};
    std::uint8_t present = 0;     // LightList entries only: 1 when the element was an object
    std::uint8_t subMode = 0;     // "ZZCCLedMode"
    std::uint8_t customGroup = 0; // "CustomGroup"
    std::uint8_t oldLedMode = 0;  // "OldLedmode": effect to return to after game lighting

    bool operator==(const LightInfo&) const = default;
};
static_assert(sizeof(LightInfo) == 14);

// 9 bytes: the audio lighting style and its two colours.
struct AudioLightInfo {
    std::uint8_t audioMode = 0; // "AudioMode"
    std::uint8_t backRed = 0;   // "BkColorR"
    std::uint8_t backGreen = 0;
    std::uint8_t backBlue = 0;
    std::uint8_t foreRed = 0; // "FgColorR"
    std::uint8_t foreGreen = 0;
    std::uint8_t foreBlue = 0;
    std::uint8_t multiColour = 0;    // "7ColorFlags"
    std::uint8_t colourSelector = 0; // "ColorTypeFlags": 1 while the foreground is edited

    bool operator==(const AudioLightInfo&) const = default;
};
static_assert(sizeof(AudioLightInfo) == 9);

struct RgbaColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;

    bool operator==(const RgbaColour&) const = default;
};
static_assert(sizeof(RgbaColour) == 4);

// One step of a custom effect (".light" step file), 24 bytes. The first eight bytes have
// the layout of LightInfo's first eight.
struct EffectStep {
    std::uint8_t mode = 0; // 0 breathing, 1 static, 2 blink, 4 wave, 5 spectrum
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t multiColour = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t reserved[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::int32_t time = 0;  // milliseconds the step lasts
    std::int32_t cycle = 0; // carried, unused

    bool operator==(const EffectStep&) const = default;
};
static_assert(sizeof(EffectStep) == 24);

// The lighting page passes LightInfo as four 32-bit words, least significant byte first,
// and AudioLightInfo as two words and a byte.
using LightInfoWords = std::array<std::uint32_t, 4>;
[[nodiscard]] LightInfoWords toWords(const LightInfo& info);
[[nodiscard]] LightInfo lightInfoFromWords(const LightInfoWords& words);

struct AudioLightWords {
    std::uint32_t word0 = 0;
    std::uint32_t word1 = 0;
    std::uint8_t last = 0;
};
[[nodiscard]] AudioLightWords toWords(const AudioLightInfo& info);
[[nodiscard]] AudioLightInfo audioLightInfoFromWords(const AudioLightWords& words);

} // namespace profile
