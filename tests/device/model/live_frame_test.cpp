#include "device/model/live_frame.h"

#include <gtest/gtest.h>

#include <vector>

using namespace model;
using namespace std::chrono_literals;

namespace {

class RecordingSink : public LiveFrameSink {
public:
    void showLight(std::size_t light, std::uint32_t colour, std::uint8_t brightness) override
    {
        shown.push_back({light, colour, brightness});
    }
    bool sendLiveColours(std::span<const std::uint8_t> frame) override
    {
        frames.emplace_back(frame.begin(), frame.end());
        return succeed;
    }

    struct Shown {
        std::size_t light;
        std::uint32_t colour;
        std::uint8_t brightness;
    };
    std::vector<Shown> shown;
    std::vector<std::vector<std::uint8_t>> frames;
    bool succeed = true;
};

std::array<std::uint8_t, kKeyPositionCount> noLeds()
{
    std::array<std::uint8_t, kKeyPositionCount> map;
    map.fill(kNoLed);
    return map;
}

} // namespace

TEST(LiveFrame, ScalesEachLightByItsBrightnessAtItsLed)
{
    LightColourList lights;
    lights.set(0, LightColour{255, 128, 1, 128});
    lights.set(3, LightColour{10, 20, 30, 255});
    auto map = noLeds();
    map[0] = 5;
    map[3] = 0;
    const ColourBuffer scaled = buildColourBuffer(lights, map, Scaling::ByBrightness);
    EXPECT_EQ(scaled[15], 127);
    EXPECT_EQ(scaled[16], 64);
    EXPECT_EQ(scaled[17], 0);
    EXPECT_EQ(scaled[0], 9);
    EXPECT_EQ(scaled[1], 19);
    EXPECT_EQ(scaled[2], 29);

    const ColourBuffer raw = buildColourBuffer(lights, map, Scaling::Raw);
    EXPECT_EQ(raw[15], 255);
    EXPECT_EQ(raw[16], 128);
    EXPECT_EQ(raw[17], 1);
}

TEST(LiveFrame, LedsOutsideTheBufferAndLightsOutsideTheMapAreSkipped)
{
    LightColourList lights;
    lights.fill(LightColour{255, 255, 255, 255});
    auto map = noLeds();
    map[0] = 170; // bytes 510-512: the last would fall outside
    map[1] = 169; // bytes 507-509: fits
    map[2] = 254;
    // A map longer than the key positions must not reach lights 126-169.
    std::vector<std::uint8_t> longMap(map.begin(), map.end());
    longMap.resize(kLightCount, 100);
    const ColourBuffer buffer = buildColourBuffer(lights, longMap, Scaling::ByBrightness);
    EXPECT_EQ(buffer[507], 254);
    EXPECT_EQ(buffer[509], 254);
    EXPECT_EQ(buffer[510], 0);
    EXPECT_EQ(buffer[511], 0);
    EXPECT_EQ(buffer[300], 0); // LED 100 named only by positions past the map
}

TEST(LiveFrame, SenderRespectsHoldReceiverAndModeAndBacksOffAfterAFailure)
{
    LightColourList lights;
    lights.set(0, LightColour{0x11, 0x22, 0x33, 200});
    LiveFrameSender sender;
    auto map = noLeds();
    map[0] = 0;
    sender.setLedMap(map);
    RecordingSink sink;
    const auto start = LiveFrameSender::Clock::time_point{} + 1h;

    EXPECT_EQ(sender.send(lights, {false, false, true}, sink, start), LiveFrameResult::NotHeld);
    EXPECT_TRUE(sink.shown.empty());

    EXPECT_EQ(sender.send(lights, {true, true, true}, sink, start), LiveFrameResult::PictureOnly);
    ASSERT_EQ(sink.shown.size(), kLightCount);
    EXPECT_EQ(sink.shown[0].colour, 0x223311u); // red | blue << 8 | green << 16
    EXPECT_EQ(sink.shown[0].brightness, 200);
    EXPECT_EQ(sender.send(lights, {true, false, false}, sink, start), LiveFrameResult::PictureOnly);
    EXPECT_TRUE(sink.frames.empty());

    ASSERT_EQ(sender.send(lights, {true, false, true}, sink, start), LiveFrameResult::Sent);
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0].size(), kLiveFrameSize);
    EXPECT_EQ(sink.frames[0][0], (0x11 * 200) >> 8);

    sink.succeed = false;
    EXPECT_EQ(sender.send(lights, {true, false, true}, sink, start), LiveFrameResult::SendFailed);
    EXPECT_EQ(sender.send(lights, {true, false, true}, sink, start + 199ms),
              LiveFrameResult::BackingOff);
    sink.succeed = true;
    EXPECT_EQ(sender.send(lights, {true, false, true}, sink, start + 200ms), LiveFrameResult::Sent);
}

TEST(LiveFrame, DevicesWithoutAnLedMapSendByLightIndexSkippingTheNoLightMark)
{
    std::vector<LightColour> lights(172, LightColour{200, 100, 50, 128});
    const std::vector<std::uint8_t> frame = buildLightIndexedFrame(lights);
    ASSERT_EQ(frame.size(), 3 * lights.size());
    EXPECT_EQ(frame[0], 100);
    EXPECT_EQ(frame[1], 50);
    EXPECT_EQ(frame[2], 25);
    EXPECT_EQ(frame[3 * 170], 0);
    EXPECT_EQ(frame[3 * 171], 100);
    EXPECT_TRUE(buildLightIndexedFrame({}).empty());
}
