#include "device/model/lighting_tables.h"

#include <algorithm>

namespace model {

namespace {

// The wheel is six runs of 32 entries, each run ramping one component up or down.
constexpr std::array<std::uint8_t, 32> kRising{
    1,  3,  5,  7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
    81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<std::uint8_t, 32> kFalling{
    248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
    69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};

constexpr std::array<Rgb, kWheelSize> makeWheel()
{
    std::array<Rgb, kWheelSize> wheel{};
    for (int i = 0; i < 32; ++i) {
        const std::uint8_t up = kRising[i];
        const std::uint8_t down = kFalling[i];
        wheel[i] = {255, up, 0};
        wheel[32 + i] = {down, 255, 0};
        wheel[64 + i] = {0, 255, up};
        wheel[96 + i] = {0, down, 255};
        wheel[128 + i] = {up, 0, 255};
        wheel[160 + i] = {255, 0, down};
    }
    return wheel;
}

// The rising half of the breathing curve; the falling half mirrors it (entry 127 - k = entry k).
constexpr std::array<std::uint8_t, 64> kBreathingRise{
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  12,  14,  16,  18,  20,
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

constexpr std::uint8_t breathingAt(int index)
{
    return index < 64 ? kBreathingRise[index] : kBreathingRise[127 - index];
}

// The per-key fade rises faster than it falls: its rise, then the breathing curve's fall.
constexpr std::array<std::uint8_t, 25> kFadeRise{0,   6,   11,  17,  22,  36,  50,  63,  77,
                                                 88,  99,  109, 120, 130, 139, 149, 158, 166,
                                                 175, 183, 191, 207, 223, 239, 255};

constexpr std::array<std::uint8_t, kFadeSize> makeFade()
{
    std::array<std::uint8_t, kFadeSize> fade{};
    for (int i = 0; i < kFadeSize; ++i) {
        if (i < 25)
            fade[i] = kFadeRise[i];
        else if (i < 88)
            fade[i] = breathingAt(i + 40);
    }
    return fade;
}
constexpr auto kFade = makeFade();

// Counting round a table both ways: -1 is the last entry.
constexpr int wrap(int index, int size)
{
    const int remainder = index % size;
    return remainder < 0 ? remainder + size : remainder;
}

constexpr std::array<int, 5> kHalfPeriods{28, 23, 18, 13, 7};

} // namespace

const std::array<std::array<std::uint8_t, kGridRows>, kGridColumns> kColumnGrid{{
    {170, 120, 121, 122, 123, 124}, {170, 21, 42, 63, 84, 105},   {0, 22, 43, 64, 102, 106},
    {1, 23, 44, 65, 85, 20},        {2, 24, 45, 66, 86, 107},     {3, 25, 46, 67, 87, 126},
    {4, 26, 47, 68, 88, 127},       {18, 27, 48, 69, 89, 108},    {5, 28, 49, 70, 90, 128},
    {6, 29, 50, 71, 91, 129},       {7, 30, 51, 72, 92, 109},     {8, 31, 52, 73, 93, 125},
    {9, 32, 53, 74, 94, 110},       {10, 33, 54, 62, 100, 111},   {11, 34, 55, 75, 19, 130},
    {12, 101, 103, 79, 95, 112},    {13, 35, 56, 82, 80, 113},    {14, 36, 57, 83, 96, 114},
    {15, 37, 58, 17, 81, 115},      {170, 38, 59, 76, 97, 116},   {170, 39, 60, 77, 98, 104},
    {170, 40, 61, 78, 99, 117},     {170, 41, 16, 119, 118, 131},
}};

namespace {

constexpr std::uint8_t N = kWideNone;
constexpr std::array<std::array<std::uint8_t, kWideGridRows>, kGridColumns> kWideGrid{{
    {N, N, N, N, N, N, 105},      {N, N, 21, 42, 63, 84, 106},  {N, 0, 22, 43, 64, 85, 107},
    {N, 1, 23, 44, 65, 86, N},    {N, 2, 24, 45, 66, 87, N},    {N, 3, 25, 46, 67, 88, N},
    {N, 4, 26, 47, 68, 89, 108},  {N, N, 27, 48, 69, 90, N},    {N, 5, 28, 49, 70, 91, N},
    {N, 6, 29, 50, 71, 92, 109},  {N, 7, 30, 51, 72, 93, 109},  {N, 8, 31, 52, 73, 94, 110},
    {N, 9, 32, 53, 74, N, 111},   {N, 10, 33, 54, 75, N, N},    {N, 11, 34, 55, N, 95, 112},
    {N, 12, 34, 55, N, 95, 112},  {N, 13, 35, 56, N, N, 113},   {N, 14, 36, 57, N, 96, 114},
    {N, 15, 37, 58, N, N, 115},   {N, 17, 38, 59, 76, 97, 116}, {125, 18, 39, 60, 77, 98, 116},
    {N, 19, 40, 61, 78, 99, 117}, {N, 20, 41, N, 119, 118, N},
}};

template <std::size_t Size>
constexpr std::array<std::uint8_t, kLightCount> padded(const std::uint8_t (&values)[Size])
{
    std::array<std::uint8_t, kLightCount> table{};
    for (std::size_t i = 0; i < kLightCount; ++i)
        table[i] = i < Size ? values[i] : kNoLight;
    return table;
}

constexpr std::uint8_t kSweepValues[] = {
    15, 14, 13,  12,  11,  10,  9,   8,   7,   6,   5,   4,   3,   2,   1,   0,   21,  42,
    63, 84, 105, 106, 107, 108, 109, 125, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119,
    41, 40, 39,  38,  37,  36,  35,  34,  33,  32,  31,  30,  29,  28,  27,  26,  25,  24,
    23, 22, 43,  64,  102, 85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,  96,  97,
    98, 99, 78,  61,  60,  59,  58,  57,  56,  55,  54,  53,  52,  51,  50,  49,  48,  47,
    46, 45, 44,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  62,  75,  76,  77};

constexpr std::uint8_t kTrailValues[] = {
    0,  1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14, 15, 17, 18, 19,
    20, 41,  40,  39,  38,  37,  36,  35,  34,  33,  32,  31,  30,  29,  28, 27, 26, 25, 24,
    23, 22,  21,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53, 54, 55, 56, 57,
    58, 59,  60,  61,  119, 78,  77,  76,  75,  170, 74,  73,  72,  71,  70, 69, 68, 67, 66,
    65, 64,  63,  84,  170, 85,  86,  87,  88,  89,  90,  91,  92,  93,  94, 95, 96, 97, 98,
    99, 118, 117, 116, 115, 114, 113, 112, 111, 110, 109, 108, 107, 106, 105};

constexpr std::array<bool, kLightCount> makeSweepMembership()
{
    std::array<bool, kLightCount> held{};
    for (std::uint8_t light : kSweepValues)
        held[light] = true;
    return held;
}
constexpr auto kInSweepOrder = makeSweepMembership();

} // namespace

const std::array<Rgb, kWheelSize> kColourWheel = makeWheel();
const std::array<std::uint8_t, 5> kBrightnessLevels{0, 64, 128, 192, 255};
const std::array<std::uint8_t, kLightCount> kSweepOrder = padded(kSweepValues);
const std::array<std::uint8_t, kLightCount> kTrailOrder = padded(kTrailValues);

const std::array<std::array<std::uint8_t, kRingSize>, kRingCount> kRingGrid{{
    {49, 170, 170, 170, 170, 170, 170, 170, 170, 170, 170, 170},
    {28, 48, 69, 70, 50, 29, 170, 170, 170, 170, 170, 170},
    {6, 5, 27, 47, 68, 89, 90, 91, 71, 51, 30, 7},
    {4, 26, 46, 67, 88, 108, 92, 72, 52, 31, 8, 170},
    {3, 25, 45, 66, 87, 109, 93, 73, 53, 32, 9, 170},
    {2, 24, 44, 65, 86, 110, 94, 74, 54, 33, 10, 170},
    {1, 23, 43, 64, 85, 107, 111, 100, 62, 34, 11, 170},
    {22, 42, 63, 102, 106, 112, 95, 75, 55, 12, 170, 170},
    {0, 21, 84, 105, 170, 170, 170, 170, 170, 170, 170, 170},
    {113, 56, 35, 13, 170, 170, 170, 170, 170, 170, 170, 170},
    {114, 96, 57, 36, 14, 170, 170, 170, 170, 170, 170, 170},
    {115, 58, 37, 15, 170, 170, 170, 170, 170, 170, 170, 170},
}};

#define RAIN(...) RainRow({__VA_ARGS__})
namespace {
constexpr std::array<std::uint8_t, 12> RainRow(std::initializer_list<std::uint8_t> lights)
{
    std::array<std::uint8_t, 12> row{};
    row.fill(kNoLight);
    std::size_t i = 0;
    for (std::uint8_t light : lights)
        row[i++] = light;
    return row;
}
} // namespace

const std::array<std::array<std::uint8_t, 12>, kRainSteps> kRainPath{
    RAIN(25, 26, 50, 51),
    RAIN(0, 26, 27, 50, 51),
    RAIN(27, 28, 50, 51),
    RAIN(1, 27, 50, 51),
    RAIN(2, 27, 50, 51),
    RAIN(3, 28, 51),
    RAIN(4, 29, 51),
    RAIN(29, 51),
    RAIN(5, 29, 51),
    RAIN(6, 30, 51),
    RAIN(7, 30, 51),
    RAIN(8, 51),
    RAIN(31, 52),
    RAIN(9, 32, 52),
    RAIN(10, 32, 52),
    RAIN(11, 33, 52),
    RAIN(12, 34, 53, 52),
    RAIN(13, 34, 53, 52),
    RAIN(14, 34, 53, 52),
    RAIN(15, 35, 52),
    RAIN(36, 52),
    RAIN(37, 52),
    RAIN(38, 52),
    RAIN(39, 52),
    RAIN(41, 40, 38, 52, 54, 53, 55, 39),
    RAIN(119, 61, 60, 59, 58, 57, 56, 62, 54, 53, 52),
    RAIN(52, 53, 76, 78, 77, 54, 55),
    RAIN(73, 74, 75, 97, 98, 99, 118),
    RAIN(73, 74, 96, 117, 116),
    RAIN(73, 95, 96, 75, 116, 117),
    RAIN(73, 74, 95, 115, 116),
    RAIN(73, 95, 115, 114),
    RAIN(73, 95, 114, 113),
    RAIN(73, 95, 113),
    RAIN(73, 95, 112),
    RAIN(73, 94, 111),
    RAIN(73, 94, 125, 110),
    RAIN(73, 93, 109),
    RAIN(72, 92, 108),
    RAIN(72, 92, 108),
    RAIN(108, 91, 72),
    RAIN(108, 90, 91, 72),
    RAIN(108, 90, 71, 72),
    RAIN(108, 89, 90, 71, 72),
    RAIN(107, 88, 89, 71, 72),
    RAIN(106, 107, 87, 88, 89, 70, 71, 72),
    RAIN(105, 106, 87, 88, 70, 72),
    RAIN(124, 105, 86, 87, 88, 70, 71, 72),
    RAIN(123, 84, 85, 69, 70, 71, 72, 86, 102),
    RAIN(122, 63, 64, 65, 68, 66, 67, 50, 51),
    RAIN(121, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51),
    RAIN(51, 21, 22, 23, 24, 48, 49, 50, 120),
};
#undef RAIN

const std::array<std::uint8_t, 139> kPhaseSeeds{
    72,  52,  32,  12,  182, 162, 72,  52,  32, 12,  182, 162, 120, 100, 80,  60,  40, 20, 92,  82,
    72,  62,  52,  42,  160, 140, 120, 100, 80, 60,  80,  70,  60,  50,  20,  10,  90, 30, 0,   160,
    130, 100, 50,  30,  10,  180, 160, 140, 32, 22,  12,  2,   182, 172, 120, 100, 80, 60, 40,  20,
    20,  5,   185, 170, 155, 140, 60,  35,  15, 180, 155, 130, 120, 110, 100, 90,  80, 70, 192, 162,
    132, 102, 72,  32,  80,  70,  60,  50,  20, 10,  100, 95,  90,  85,  80,  75,  90, 80, 70,  60,
    50,  40,  140, 110, 80,  50,  20,  180, 70, 55,  40,  25,  10,  190, 120, 100, 80, 60, 40,  20,
    92,  82,  72,  62,  52,  42,  60,  50,  40, 30,  20,  10,  192, 162, 132, 102, 72, 32, 0};

const std::array<std::array<std::uint8_t, 6>, kShowRows> kShowTable{{
    {0, 255, 255, 255, 255, 255}, {1, 115, 255, 255, 255, 255},   {2, 114, 255, 255, 255, 255},
    {3, 113, 21, 255, 255, 255},  {4, 112, 22, 255, 255, 255},    {5, 111, 23, 255, 255, 255},
    {6, 110, 24, 96, 42, 255},    {7, 109, 25, 43, 255, 255},     {8, 26, 95, 44, 62, 255},
    {27, 94, 45, 100, 28, 93},    {46, 75, 29, 92, 47, 74},       {30, 91, 48, 73, 31, 90},
    {49, 72, 51, 70, 71, 50},     {28, 92, 29, 91, 30, 90},       {31, 69, 52, 48, 72, 28},
    {92, 29, 91, 31, 90, 30},     {69, 52, 48, 72, 49, 71},       {50, 70, 51, 49, 71, 50},
    {70, 52, 255, 255, 255, 255}, {255, 255, 255, 255, 255, 255},
}};

const std::array<std::array<std::uint8_t, 2>, kShowPairs> kShowPairLights{{
    {28, 92},
    {29, 91},
    {30, 90},
    {31, 69},
    {52, 48},
    {72, 28},
    {92, 29},
    {91, 31},
    {90, 30},
    {69, 52},
    {48, 72},
    {49, 71},
    {50, 70},
    {51, 49},
    {71, 50},
    {70, 52},
}};

const std::array<Rgb, 4> kFourColours{{{0, 255, 180}, {0, 255, 0}, {255, 255, 255}, {255, 0, 0}}};

std::uint8_t breathingCurve(int index)
{
    return breathingAt(wrap(index, kBreathingSize));
}

std::uint8_t waveCurve(int index)
{
    // The wave is the breathing curve seen from entry 16, where it has reached 22.
    return breathingAt(wrap(index, kWaveSize) + 16);
}

std::uint8_t fadeCurve(int index)
{
    return kFade[wrap(index, kFadeSize)];
}

int blinkHalfPeriod(int speed)
{
    return speed >= 0 && speed < 5 ? kHalfPeriods[speed] : 0;
}

int stepThreshold(int row, int speed)
{
    if (speed < 0 || speed > 4)
        return 0;
    switch (row) {
    case 12:
        return std::array{3, 2, 2, 1, 1}[speed];
    case 16:
        return 4;
    case 18:
        return 1;
    case 30:
        return speed == 0 ? 1 : 0;
    default:
        return 5 - speed;
    }
}

std::uint8_t wideGridLight(int column, int row)
{
    if (column < 0 || column >= kGridColumns || row < 0 || row >= kWideGridRows)
        return kWideNone;
    return kWideGrid[column][row];
}

bool isInSweepOrder(int light)
{
    return light >= 0 && light < int(kLightCount) && kInSweepOrder[light];
}

std::uint8_t stepPhase(bool forward, int limit, int value, int amount)
{
    if (forward) {
        const int next = value + amount;
        return next >= limit ? 0 : std::uint8_t(next);
    }
    const int next = value - amount;
    return std::uint8_t(next < 0 ? limit - amount : next);
}

namespace {

struct FadeBand {
    int from;
    int mode0;
    int mode29;
    int other;
};
constexpr std::array<FadeBand, 9> kFadeBands{{{144, 40, 45, 40},
                                              {128, 40, 40, 40},
                                              {112, 30, 35, 30},
                                              {96, 30, 30, 30},
                                              {80, 30, 25, 30},
                                              {64, 30, 20, 30},
                                              {32, 15, 10, 10},
                                              {17, 8, 5, 8},
                                              {1, 1, 1, 1}}};

// Fading runs for every light on most steps, so the bands are looked up once per value.
constexpr std::array<std::array<std::uint8_t, 256>, 3> makeFadeAmounts()
{
    std::array<std::array<std::uint8_t, 256>, 3> amounts{};
    for (int value = 1; value < 256; ++value) {
        for (const FadeBand& band : kFadeBands) {
            if (value >= band.from) {
                amounts[0][value] = std::uint8_t(band.mode0);
                amounts[1][value] = std::uint8_t(band.mode29);
                amounts[2][value] = std::uint8_t(band.other);
                break;
            }
        }
    }
    return amounts;
}

} // namespace

const std::array<std::array<std::uint8_t, 256>, 3> kFadeAmounts = makeFadeAmounts();

} // namespace model
