#include "device/model/lighting_engine.h"
#include "device/model/lighting_tables.h"

#include <gtest/gtest.h>

#include <limits>

using namespace model;
using std::chrono::milliseconds;

namespace {

constexpr Rgb kBackground{0, 0, 40};
constexpr Rgb kForeground{200, 100, 0};

LightingEngine audioEngine(int style, int multiColour = 0)
{
    LightingEngine engine;
    AudioSettings audio;
    audio.style = std::uint8_t(style);
    audio.background = kBackground;
    audio.foreground = kForeground;
    audio.multiColour = std::uint8_t(multiColour);
    engine.setAudioSettings(audio);
    EffectSettings settings;
    settings.mode = 29;
    settings.brightness = 4;
    settings.direction = 1;
    engine.setSettings(settings);
    return engine;
}

void feed(LightingEngine& engine, std::int32_t value)
{
    std::array<std::int32_t, 25> bands;
    bands.fill(value);
    engine.setAudioSpectrum(bands);
}

bool isLit(const LightingEngine& engine, int light)
{
    return engine.intensity(light) == 255;
}

} // namespace

TEST(AudioStyles, BarsFollowTheBandLevel)
{
    LightingEngine quiet = audioEngine(0);
    feed(quiet, 0);
    quiet.stepMode(milliseconds(0));
    for (int column = 0; column < kGridColumns; ++column) {
        for (int row = 0; row < kGridRows; ++row) {
            const int light = gridLight(column, row);
            if (light == kNoLight)
                continue;
            EXPECT_FALSE(isLit(quiet, light));
            EXPECT_EQ(quiet.lights().get(light), (LightColour{0, 0, 40, 255}));
        }
    }

    LightingEngine loud = audioEngine(0);
    feed(loud, 2000);
    loud.stepMode(milliseconds(0));
    for (int column = 0; column < kGridColumns; ++column) {
        for (int row = 0; row < kGridRows; ++row) {
            const int light = gridLight(column, row);
            if (light == kNoLight)
                continue;
            EXPECT_EQ(isLit(loud, light), row >= 1) << column << "," << row;
            if (row >= 1) {
                EXPECT_EQ(loud.lights().get(light), (LightColour{200, 100, 0, 254}));
            }
        }
    }
}

TEST(AudioStyles, BandsAreTakenByTheStep)
{
    LightingEngine engine = audioEngine(0);
    feed(engine, 2000);
    engine.stepMode(milliseconds(0));
    engine.stepMode(milliseconds(0)); // nothing new arrived: the bars fall from the top
    EXPECT_EQ(engine.intensity(gridLight(5, 1)), 210);
    EXPECT_EQ(engine.intensity(gridLight(5, 5)), 255); // held while the light above is lit
}

TEST(AudioStyles, RowBarsStayDarkInSilence)
{
    LightingEngine engine = audioEngine(5);
    feed(engine, 0); // L = 23 - (23 x 600 + 2300) / 600 = -3
    engine.stepMode(milliseconds(0));
    for (std::size_t light = 0; light < kLightCount; ++light)
        ASSERT_FALSE(isLit(engine, int(light)));

    // Louder than full scale reads as depth 500, a short bar: rows 0-2 (groups of 7, 5 and 4
    // bands) reach column 0 only, row 3 (3 bands, exactly full scale) column 20.
    feed(engine, 2000);
    engine.stepMode(milliseconds(0));
    EXPECT_TRUE(isLit(engine, gridLight(0, 1)));
    EXPECT_FALSE(isLit(engine, gridLight(1, 1)));
    EXPECT_TRUE(isLit(engine, gridLight(20, 3)));
    EXPECT_FALSE(isLit(engine, gridLight(21, 3)));
}

TEST(AudioStyles, UnknownStyleRunsNothing)
{
    LightingEngine engine = audioEngine(7);
    const auto before = engine.lights().snapshot();
    feed(engine, 2000);
    engine.stepMode(milliseconds(0));
    EXPECT_EQ(engine.lights().snapshot(), before);
}

TEST(AudioStyles, RippleStyleSeedsTheCentreOnceEnoughSoundAccumulated)
{
    LightingEngine engine = audioEngine(2);
    feed(engine, 2000); // each full-scale packet adds 25
    feed(engine, 2000);
    EXPECT_EQ(engine.styleTwoAccumulator(), 50);
    EXPECT_EQ(engine.matrix().columnBits(10), 0);
    feed(engine, 2000);
    EXPECT_EQ(engine.styleTwoAccumulator(), 0);
    EXPECT_TRUE(engine.matrix().isSet(10, 2)); // light 51

    // Not in style 2 (or not in mode 29) the values are only stored.
    LightingEngine bars = audioEngine(0);
    for (int i = 0; i < 5; ++i)
        feed(bars, 2000);
    EXPECT_EQ(bars.styleTwoAccumulator(), 0);
}

TEST(AudioStyles, DropsFillAColumnThenHoldWhileItsBottomIsLit)
{
    LightingEngine engine = audioEngine(4);
    feed(engine, 2000); // t = 1
    engine.stepMode(milliseconds(0));
    EXPECT_EQ(engine.intensity(gridLight(3, 0)), 0);
    for (int row = 1; row < kGridRows; ++row)
        EXPECT_TRUE(isLit(engine, gridLight(3, row))) << row;

    feed(engine, 2000);
    engine.stepMode(milliseconds(0));
    // The top of the drop fades; a light under a lit one is held up by it.
    EXPECT_EQ(engine.intensity(gridLight(3, 1)), 210);
    EXPECT_EQ(engine.intensity(gridLight(3, 2)), 255);
}

TEST(AudioStyles, HostileBandValuesGiveBarsNotOverflow)
{
    // Values arrive from another process: the extremes must neither overflow nor read past
    // a table (the sanitizer build checks both).
    const std::int32_t extremes[] = {std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max(), -1, 1 << 30};
    for (int style = 0; style <= 6; ++style) {
        for (std::int32_t value : extremes) {
            for (int multiColour = 0; multiColour <= 1; ++multiColour) {
                LightingEngine engine = audioEngine(style, multiColour);
                for (int step = 0; step < 4; ++step) {
                    feed(engine, value);
                    engine.stepMode(milliseconds(step));
                }
                ASSERT_LT(engine.phase(), kWheelSize) << "style " << style;
            }
        }
    }
}
