#include "device/model/lighting_preview.h"
#include "device/model/lighting_tables.h"

#include <gtest/gtest.h>

using namespace model;

TEST(LightingPreview, OneColourModeShowsItsEntryAfterOneStep)
{
    PreviewRequest request;
    request.settings.mode = 17;
    request.settings.direction = 2;
    request.settings.brightness = 4;
    const auto frames = runPreview(request);
    ASSERT_EQ(frames.size(), 1u);
    const Rgb entry = wheelColour(70);
    for (const LightColour& light : frames[0])
        ASSERT_EQ(light, (LightColour{entry.red, entry.green, entry.blue, 255}));
}

TEST(LightingPreview, GivesAFramePerStepAndRepeatsWithTheSeed)
{
    PreviewRequest request;
    request.settings.mode = 10;
    request.settings.multiColour = 1;
    request.settings.brightness = 4;
    request.steps = 12;
    request.seed = 3;
    const auto first = runPreview(request);
    ASSERT_EQ(first.size(), 12u);
    EXPECT_NE(first[0], first[11]);
    EXPECT_EQ(runPreview(request), first);

    request.steps = 0; // the start step alone: nothing painted yet
    EXPECT_EQ(runPreview(request), std::vector<LightFrame>{LightFrame{}});
}

TEST(LightingPreview, AudioBandsFeedEveryStep)
{
    PreviewRequest request;
    request.settings.mode = 29;
    request.settings.brightness = 4;
    request.audio.foreground = {255, 0, 0};
    request.bands.assign(25, 2000);
    request.steps = 3;
    const auto frames = runPreview(request);
    // Bands taken by one step come back before the next: the bars stay up.
    EXPECT_EQ(frames[2][gridLight(4, 3)], (LightColour{255, 0, 0, 254}));
}
