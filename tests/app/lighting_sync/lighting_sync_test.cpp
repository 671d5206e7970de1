#include "app/lighting_sync/feed_protocol.h"
#include "app/lighting_sync/game_lighting.h"
#include "app/lighting_sync/same_lighting.h"
#include "app/lighting_sync/spectrum_feed.h"
#include "app/lighting_sync/sync_effect.h"
#include "app/lighting_sync/sync_thread.h"

#include "fake_sync_device.h"

#include <gtest/gtest.h>

using namespace app::lighting_sync;
using detect::DeviceKind;
using testing_support::FakeSyncDevice;
using namespace std::chrono_literals;

namespace {

void setSettings(SyncSettings& settings, int mode, int speed, int brightness, bool cycle)
{
    settings.mode = static_cast<std::uint8_t>(mode);
    settings.speed = static_cast<std::uint8_t>(speed);
    settings.brightness = static_cast<std::uint8_t>(brightness);
    settings.colourCycle = cycle;
    settings.red = 10;
    settings.green = 20;
    settings.blue = 30;
}

// Light 0 of `device` has taken more than `count` colours; false after 5 s without one.
bool colouredPast(FakeSyncDevice& device, std::size_t count)
{
    while (device.colours().size() <= count) {
        if (!device.coloured.waitFor(5s))
            return false;
    }
    return true;
}

// Long enough for a worker that still looked on a timer to have looked a few times.
void aWhile()
{
    platform::Event never(platform::Event::ResetPolicy::Manual);
    (void)never.waitFor(300ms);
}

} // namespace

TEST(SyncEffect, BreathingWithCyclingMovesTheWheelOncePerTurn)
{
    SyncSettings settings;
    setSettings(settings, 0, 0, 4, true);
    settings.directionUp = 1;
    SyncEffect effect;
    int wheelMoves = 0;
    std::uint32_t last = effect.step(settings, 0ms);
    for (int i = 0; i < 128 * 13; ++i) {
        const std::uint32_t word = effect.step(settings, 0ms);
        wheelMoves += (word & 0xFFFFFF) != (last & 0xFFFFFF);
        last = word;
    }
    // A turn of the breath is 128 steps, the wheel moves 16 of 192 entries at positions
    // 0 and 1: after 12 turns it is back where it started.
    EXPECT_EQ(wheelMoves, 2 * 13);
    EXPECT_EQ(stepByte(true, 192, 176, 16), 0);
    EXPECT_EQ(stepByte(false, 128, 0, 1), 127); // 255 is not below the limit
    EXPECT_EQ(stepByte(false, 128, 5, 1), 4);
}

TEST(SyncEffect, BlinkTogglesOnlyAfterItsHalfPeriodAndSpeedsPastFourStepEveryTick)
{
    SyncSettings settings;
    setSettings(settings, 2, 4, 4, false); // half-period 7 x 200 ms
    SyncEffect effect;
    const std::uint32_t lit = 10 | 20 << 8 | 30 << 16 | 255u << 24;
    EXPECT_EQ(effect.step(settings, 10'000ms), lit);
    EXPECT_EQ(effect.step(settings, 11'399ms), lit);
    EXPECT_EQ(effect.step(settings, 11'400ms), 0u);
    EXPECT_EQ(effect.step(settings, 12'800ms), lit);

    EXPECT_EQ(SyncEffect::threshold(settings), 7);
    settings.speed = 5;
    EXPECT_EQ(SyncEffect::threshold(settings), 0);
    settings.mode = 5;
    EXPECT_EQ(SyncEffect::threshold(settings), std::nullopt);
    settings.mode = 1;
    settings.brightness = 200; // from a profile: the top level, never past the table
    EXPECT_EQ(effect.step(settings, 0ms) >> 24, 255u);
}

namespace {

// A keyboard and a mouse listed, neither in synchronised mode, and settings that step on
// every tick.
class SyncWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(devices.add(&keyboard));
        ASSERT_TRUE(devices.add(&mouse));
        setSettings(settings, 1, 5, 2, false);
    }

    DeviceLists devices;
    FakeSyncDevice keyboard{DeviceKind::Keyboard};
    FakeSyncDevice mouse{DeviceKind::Mouse};
    SyncSettings settings;
};

} // namespace

TEST_F(SyncWorkerTest, LightsDevicesInSyncAndStopsAtOnceWhenIdle)
{
    {
        SyncLightingThread idle(devices, settings);
        ASSERT_TRUE(idle.start());
        // The idle wait has no time-out: the stop event ends it.
        EXPECT_TRUE(idle.stop(500ms));
        EXPECT_EQ(idle.steps(), 0u);
        EXPECT_TRUE(keyboard.colours().empty());
    }

    mouse.sync = true;
    mouse.online = false; // still lit while its flag is set, but does not count as "in sync"
    keyboard.sync = true;
    SyncLightingThread thread(devices, settings);
    ASSERT_TRUE(thread.start());
    ASSERT_TRUE(keyboard.coloured.waitFor(5s));
    ASSERT_TRUE(mouse.coloured.waitFor(5s));
    EXPECT_TRUE(thread.stop(1000ms));
    EXPECT_EQ(keyboard.colours().front(), 10u | 20u << 8 | 30u << 16 | 128u << 24);
}

TEST_F(SyncWorkerTest, SleepsUntilADeviceComesOrChangesAndStepsWhenOneIsInSync)
{
    SyncLightingThread thread(devices, settings);
    ASSERT_TRUE(thread.start());
    aWhile();
    EXPECT_EQ(thread.idleWakes(), 0u);

    // In synchronised mode but offline: woken, and nothing to light yet.
    mouse.online = false;
    mouse.setLightingSync(true);
    aWhile();
    EXPECT_EQ(thread.idleWakes(), 1u);
    EXPECT_EQ(thread.steps(), 0u);
    mouse.setOnline(true);
    ASSERT_TRUE(colouredPast(mouse, 0));
    EXPECT_TRUE(keyboard.colours().empty()); // not in synchronised mode

    // Out of it again: the steps end.
    mouse.setLightingSync(false);
    aWhile();
    const std::uint64_t steps = thread.steps();
    const std::uint64_t wakes = thread.idleWakes();
    aWhile();
    EXPECT_EQ(thread.steps(), steps);
    EXPECT_EQ(thread.idleWakes(), wakes);

    // A device listed later, already in synchronised mode.
    FakeSyncDevice pad(DeviceKind::MousePad);
    pad.sync = true;
    ASSERT_TRUE(devices.add(&pad));
    ASSERT_TRUE(colouredPast(pad, 0));
    EXPECT_TRUE(thread.stop(1000ms));
}

TEST_F(SyncWorkerTest, AChangeRacingItsLookNeverLeavesADeviceDark)
{
    // Each change lands somewhere in the worker's look-then-sleep; many rounds, so that some
    // land between the two. A wake lost there would leave the keyboard unlit for good.
    SyncLightingThread thread(devices, settings);
    ASSERT_TRUE(thread.start());
    for (int round = 0; round < 100; ++round) {
        const std::size_t before = keyboard.colours().size();
        if (round % 2 == 0) {
            keyboard.setLightingSync(true);
        } else {
            keyboard.online = false;
            keyboard.sync = true;
            keyboard.setOnline(true);
        }
        ASSERT_TRUE(colouredPast(keyboard, before)) << "round " << round;
        keyboard.setLightingSync(false);
    }
    EXPECT_TRUE(thread.stop(1000ms));
}

TEST(SameLighting, EveryOnlineDeviceTakesTheActiveEffectInItsOwnCode)
{
    DeviceLists devices;
    FakeSyncDevice keyboard(DeviceKind::Keyboard);
    FakeSyncDevice mouse(DeviceKind::Mouse);
    FakeSyncDevice pad(DeviceKind::MousePad);
    pad.online = false;
    for (auto* device : {&keyboard, &mouse, &pad})
        devices.add(device);
    keyboard.settings.mode = 23; // blinking
    keyboard.settings.brightness = 3;
    keyboard.settings.red = 200;
    SyncSettings settings;

    ASSERT_TRUE(applySameLighting(&keyboard, devices, settings));
    EXPECT_EQ(settings.mode.load(), 2);
    EXPECT_EQ(settings.red.load(), 200);
    EXPECT_EQ(mouse.settings.mode, 4);
    EXPECT_EQ(mouse.settings.red, 200);
    EXPECT_TRUE(mouse.sync);
    EXPECT_EQ(mouse.pageSettings, mouse.settings);
    EXPECT_TRUE(keyboard.sync);
    EXPECT_FALSE(pad.sync); // offline: left alone
    EXPECT_EQ(pad.writes, 0);

    keyboard.settings.mode = 9; // an effect the others do not have
    mouse.writes = 0;
    EXPECT_FALSE(applySameLighting(&keyboard, devices, settings));
    EXPECT_EQ(mouse.writes, 0);
    EXPECT_FALSE(applySameLighting(nullptr, devices, settings));
}

TEST(GameLighting, TheFirstEventRemembersTheEffectAndTheRestoreBringsItBack)
{
    FakeSyncDevice keyboard(DeviceKind::Keyboard);
    keyboard.settings.mode = 5;
    keyboard.sync = true;
    handleGameEvent(&keyboard, 0, 23);
    EXPECT_FALSE(keyboard.sync);
    EXPECT_EQ(keyboard.pageMode, 23);
    EXPECT_EQ(keyboard.settings.mode, 23);
    EXPECT_EQ(keyboard.settings.oldLedMode, 5);
    handleGameEvent(&keyboard, 1, 0x107); // later steps keep what was remembered
    EXPECT_EQ(keyboard.settings.mode, 7);
    EXPECT_EQ(keyboard.settings.oldLedMode, 5);
    handleGameEvent(&keyboard, 3, 9); // not a step: left alone
    EXPECT_EQ(keyboard.settings.mode, 7);
    restoreAfterGame(&keyboard);
    EXPECT_EQ(keyboard.settings.mode, 5);
    EXPECT_EQ(keyboard.pageMode, 5);

    keyboard.settings.mode = 0; // remembered as 1, like any mode above 20
    handleGameEvent(&keyboard, 0, 23);
    EXPECT_EQ(keyboard.settings.oldLedMode, 1);
    handleGameEvent(nullptr, 0, 23);
    restoreAfterGame(nullptr);
}

TEST(SpectrumFeed, EveryThirdPacketReachesTheKeyboardAndShortBlocksReadAsZeros)
{
    DeviceLists devices;
    FakeSyncDevice keyboard(DeviceKind::Keyboard);
    devices.add(&keyboard);
    SpectrumFeed feed;
    const std::vector<std::uint8_t> tiny{1, 2, 3}; // not even one whole sample
    EXPECT_TRUE(feed.onCopyData(kSpectrumCopyDataId, tiny, devices));
    EXPECT_TRUE(feed.onCopyData(kSpectrumCopyDataId, {}, devices)); // ignored, not counted
    std::vector<std::uint8_t> packet(2000 + 64, 0);
    packet[0] = 100;
    EXPECT_TRUE(feed.onCopyData(kSpectrumCopyDataId, packet, devices));
    EXPECT_EQ(keyboard.spectrumCalls, 0);
    EXPECT_TRUE(feed.onCopyData(kSpectrumCopyDataId, packet, devices));
    ASSERT_EQ(keyboard.spectrumCalls, 1);
    ASSERT_EQ(keyboard.spectrum.size(), 500u);
    EXPECT_EQ(keyboard.spectrum[25], 0);

    const std::vector<std::uint8_t> colour{1, 0, 0, 0, 2, 0, 0, 0, 9, 9};
    EXPECT_TRUE(feed.onCopyData(kExternalColourCopyDataId, colour, devices));
    EXPECT_EQ(keyboard.externalColour, (std::vector<std::int32_t>{1, 2, 0, 0, 0, 0}));
    EXPECT_FALSE(feed.onCopyData(5, colour, devices));
}
