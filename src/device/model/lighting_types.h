#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace model {

// The keyboard has 170 lights; light indices are the positions of the light colour list.
inline constexpr std::size_t kLightCount = 170;
// The system tick the effects' speeds were made for (64 per second); thresholds count these.
inline constexpr std::chrono::microseconds kSystemTick{15625};
// Marks an empty cell in the light tables.
inline constexpr std::uint8_t kNoLight = 170;

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// One entry of the light colour list: the colour as computed, and the brightness the live
// frame and the picture apply to it.
struct LightColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t brightness = 0;

    Rgb rgb() const { return {red, green, blue}; }
    // The colour word other components exchange: red | green << 8 | blue << 16 | brightness << 24.
    std::uint32_t word() const
    {
        return red | (green << 8) | (blue << 16) | (std::uint32_t(brightness) << 24);
    }
    static LightColour fromWord(std::uint32_t word)
    {
        return {std::uint8_t(word), std::uint8_t(word >> 8), std::uint8_t(word >> 16),
                std::uint8_t(word >> 24)};
    }

    friend bool operator==(const LightColour&, const LightColour&) = default;
};

// The current light settings the effects run with (the first eight bytes of a lighting record).
// Bytes come from profiles and device replies, so any value may arrive.
struct EffectSettings {
    std::uint8_t mode = 0;       // effect index, 1-30; 0, 19 and above 30 play the custom effect
    std::uint8_t brightness = 0; // level index 0-4
    std::uint8_t speed = 0;      // 0-4
    std::uint8_t direction = 0;  // non-zero: forward
    std::uint8_t multiColour = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t customGroup = 0;

    Rgb colour() const { return {red, green, blue}; }
};

// The audio lighting record's values that the audio styles use.
struct AudioSettings {
    std::uint8_t style = 0;
    Rgb background;
    Rgb foreground;
    std::uint8_t multiColour = 0;
};

// One per-key entry of the profile's light list, laid over light i (the lighting record shape).
// An entry with every byte 0 stands for a missing element and changes nothing.
struct OverlayEntry {
    std::uint8_t mode = 0;
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t multiColour = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t present = 0;

    bool isNull() const
    {
        return (mode | brightness | speed | direction | multiColour | red | green | blue |
                present) == 0;
    }
    Rgb colour() const { return {red, green, blue}; }
};

// One timed step of a custom effect.
struct EffectStep {
    std::uint8_t mode = 0;
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t multiColour = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::int32_t time = 0; // ms the step lasts
    std::int32_t cycle = 0;

    Rgb colour() const { return {red, green, blue}; }
};

// Everything a profile contributes to the host-driven lighting.
struct LightingProfile {
    EffectSettings settings;
    AudioSettings audio;
    std::vector<OverlayEntry> overlay;   // light list, entry i over light i
    std::vector<EffectStep> effectSteps; // the custom effect
    std::vector<Rgb> customColours;      // the selected custom group, by light
};

} // namespace model
