#pragma once

#include "device/model/lighting_types.h"

#include <array>
#include <cstdint>

// The constant tables the host-driven effects are drawn from. Lookups by a byte that came
// from outside (profiles, device replies) go through the functions, which never read past
// a table.
namespace model {

inline constexpr int kWheelSize = 192;
inline constexpr int kBreathingSize = 128;
inline constexpr int kWaveSize = 96;
inline constexpr int kFadeSize = 192;
inline constexpr int kRainSteps = 52;

inline constexpr int kGridColumns = 23;
inline constexpr int kGridRows = 6;
inline constexpr int kWideGridRows = 7;
inline constexpr std::uint8_t kWideNone = 255;
inline constexpr int kRingCount = 12;
inline constexpr int kRingSize = 12;
inline constexpr int kShowRows = 20;
inline constexpr int kShowPairs = 16;

extern const std::array<Rgb, kWheelSize> kColourWheel;
// Wheel entry at any index, counted round the wheel both ways. Inline: every effect
// looks up a colour for each light on each step.
inline Rgb wheelColour(int index)
{
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(kWheelSize)) {
        index %= kWheelSize;
        if (index < 0)
            index += kWheelSize;
    }
    return kColourWheel[index];
}
std::uint8_t breathingCurve(int index);
std::uint8_t waveCurve(int index);
std::uint8_t fadeCurve(int index);

extern const std::array<std::uint8_t, 5> kBrightnessLevels;
// 0, 64, 128, 192, 255; an index above 4 gives the top level.
inline std::uint8_t brightnessLevel(int index)
{
    return kBrightnessLevels[index >= 0 && index < 5 ? index : 4];
}
// Blink half-period in 200 ms units, 28 for speed 0 down to 7 for speed 4; 0 outside.
int blinkHalfPeriod(int speed);
// Pass count the custom effect and the key spectrum wait for: the half-periods again.
inline int passThreshold(int speed)
{
    return blinkHalfPeriod(speed);
}
// Ticks between two steps of a threshold row at a speed; speeds outside 0-4 give 0.
int stepThreshold(int row, int speed);

extern const std::array<std::array<std::uint8_t, kGridRows>, kGridColumns> kColumnGrid;
// Light at column c, keyboard row r of the column grid (kNoLight for none or outside).
inline std::uint8_t gridLight(int column, int row)
{
    if (static_cast<unsigned>(column) >= static_cast<unsigned>(kGridColumns) ||
        static_cast<unsigned>(row) >= static_cast<unsigned>(kGridRows))
        return kNoLight;
    return kColumnGrid[column][row];
}
// Light at column c, row 0-6 of the wide column grid (kWideNone for none).
std::uint8_t wideGridLight(int column, int row);

extern const std::array<std::uint8_t, kLightCount> kSweepOrder;
extern const std::array<std::uint8_t, kLightCount> kTrailOrder;
// Whether the sweep order holds the light; rings paint only such lights.
bool isInSweepOrder(int light);
extern const std::array<std::array<std::uint8_t, kRingSize>, kRingCount> kRingGrid;
extern const std::array<std::array<std::uint8_t, 12>, kRainSteps> kRainPath;
extern const std::array<std::uint8_t, 139> kPhaseSeeds;
extern const std::array<std::array<std::uint8_t, 6>, kShowRows> kShowTable; // 255 = none
extern const std::array<std::array<std::uint8_t, 2>, kShowPairs> kShowPairLights;
extern const std::array<Rgb, 4> kFourColours;

// The phase arithmetic the effects step with: forward, value + amount, or 0 once that
// reaches the limit; backward, value - amount, or limit - amount when that would go below 0.
std::uint8_t stepPhase(bool forward, int limit, int value, int amount);

// What one fade step takes off an intensity: by fading column (0: mode 0, 1: mode 29,
// 2: any other mode), then by the intensity.
extern const std::array<std::array<std::uint8_t, 256>, 3> kFadeAmounts;
// How much a light's intensity loses in one fade step, by its value and the mode.
inline int fadeAmount(int intensity, int mode)
{
    const int column = mode == 0 ? 0 : mode == 29 ? 1 : 2;
    return kFadeAmounts[column][intensity < 0 ? 0 : intensity > 255 ? 255 : intensity];
}

} // namespace model
