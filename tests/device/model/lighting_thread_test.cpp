#include "device/model/lighting_thread.h"

#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace model;
using namespace std::chrono_literals;

namespace {

class FakeHost : public LightingHost {
public:
    bool isChannelOpen() const override
    {
        if (open)
            return true;
        ++closedLooks;
        sawClosed.set();
        return false;
    }
    bool isLightingSynced() const override
    {
        if (!synced)
            return false;
        ++syncedLooks;
        sawSynced.set();
        return true;
    }
    void watchChannel(const std::weak_ptr<platform::Event>& changed) override
    {
        m_changed = changed;
    }
    void framePainted() override
    {
        ++frames;
        painted.set();
    }

    // As a device's channel does: the flag first, then the thread's wake.
    void setOpen(bool on)
    {
        open = on;
        tell();
    }
    void setSynced(bool on)
    {
        synced = on;
        tell();
    }

    std::atomic<bool> open{true};
    std::atomic<bool> synced{false};
    std::atomic<int> frames{0};
    mutable std::atomic<int> closedLooks{0};
    mutable std::atomic<int> syncedLooks{0};
    platform::Event painted{platform::Event::ResetPolicy::Automatic};
    mutable platform::Event sawClosed{platform::Event::ResetPolicy::Automatic};
    mutable platform::Event sawSynced{platform::Event::ResetPolicy::Automatic};

private:
    void tell()
    {
        if (auto changed = m_changed.lock())
            changed->set();
    }

    std::weak_ptr<platform::Event> m_changed;
};

// Long enough for a thread that still looked on a timer to have looked again a few times.
void aWhile()
{
    platform::Event never(platform::Event::ResetPolicy::Manual);
    (void)never.waitFor(300ms);
}

EffectSettings spectrum()
{
    EffectSettings settings;
    settings.mode = 4;
    settings.speed = 4;
    settings.brightness = 4;
    settings.direction = 1;
    return settings;
}

} // namespace

TEST(LightingThread, PaintsWhileOpenAndEndsThroughItsStopEvent)
{
    FakeHost host;
    platform::clearDebugLines();
    {
        LightingThread thread(host, 1, 1ms);
        thread.update([](LightingEngine& engine) { engine.setSettings(spectrum()); });
        thread.start();
        ASSERT_TRUE(host.painted.waitFor(10s));
        ASSERT_TRUE(host.painted.waitFor(10s));
        EXPECT_NE(thread.lights().get(0).word(), 0u);
        EXPECT_EQ(thread.lights().get(0).brightness, 255);
        thread.stop();
        EXPECT_FALSE(thread.isRunning());
    }
    EXPECT_TRUE(platform::debugLinesContain(L"KB灯光线程设定退出"));
    EXPECT_TRUE(platform::debugLinesContain(L"线程退出：：对象处于激发状态"));
}

TEST(LightingThread, ClosedOrSynchronisedItSleepsUntilTheHostSaysSoThenPaintsAgain)
{
    FakeHost host;
    host.open = false;
    LightingThread thread(host, 1, 1ms);
    thread.update([](LightingEngine& engine) { engine.setSettings(spectrum()); });
    thread.start();
    ASSERT_TRUE(host.sawClosed.waitFor(10s));
    aWhile();
    EXPECT_EQ(host.closedLooks.load(), 1);
    EXPECT_EQ(host.frames.load(), 0);

    host.setOpen(true);
    ASSERT_TRUE(host.painted.waitFor(10s));

    // Synchronised: the passes stop after the look that saw it, until it lets go.
    host.setSynced(true);
    ASSERT_TRUE(host.sawSynced.waitFor(10s));
    const int frames = host.frames.load();
    aWhile();
    // A pass on its tick may see the flag before the wake that follows it: two looks at most.
    const int looks = host.syncedLooks.load();
    EXPECT_LE(looks, 2);
    aWhile();
    EXPECT_EQ(host.syncedLooks.load(), looks);
    EXPECT_EQ(host.frames.load(), frames);
    host.setSynced(false);
    ASSERT_TRUE(host.painted.waitFor(10s));

    // A restarted thread is told as well.
    thread.stop();
    host.open = false;
    thread.start();
    ASSERT_TRUE(host.sawClosed.waitFor(10s));
    host.painted.reset();
    host.setOpen(true);
    ASSERT_TRUE(host.painted.waitFor(10s));
}

TEST(LightingThread, SettingsChangeWhileTheThreadRuns)
{
    FakeHost host;
    LightingThread thread(host, 1, 1ms);
    thread.start();
    for (int round = 0; round < 20; ++round) {
        thread.update([round](LightingEngine& engine) {
            EffectSettings settings = spectrum();
            settings.mode = std::uint8_t(1 + round % 30);
            engine.setSettings(settings);
            const std::int32_t bands[25] = {2000};
            engine.setAudioSpectrum(bands);
        });
        ASSERT_TRUE(host.painted.waitFor(10s));
    }
    thread.update([](LightingEngine& engine) {
        EffectSettings off;
        off.mode = 28;
        engine.setSettings(off);
    });
    // Whatever pass is under way, the next one paints the off mode.
    (void)host.painted.waitFor(10s);
    ASSERT_TRUE(host.painted.waitFor(10s));
    EXPECT_EQ(thread.lights().get(100).word(), 0u);
    thread.stop();
    thread.stop(); // a second stop finds nothing to do
}

namespace {

// A device whose hand-over of the first frame takes longer than the stop time-out.
class SlowHost : public FakeHost {
public:
    void framePainted() override
    {
        if (!entered.isSet()) {
            entered.set();
            (void)never.waitFor(1500ms);
            leftHandOver = true;
        }
    }

    platform::Event entered{platform::Event::ResetPolicy::Manual};
    platform::Event never{platform::Event::ResetPolicy::Manual};
    std::atomic<bool> leftHandOver{false};
};

} // namespace

TEST(LightingThread, LateThreadIsReportedAndAwaitedBeforeItsOwnerGoes)
{
    SlowHost host;
    platform::clearDebugLines();
    {
        LightingThread thread(host, 1, 1ms);
        thread.update([](LightingEngine& engine) { engine.setSettings(spectrum()); });
        thread.start();
        ASSERT_TRUE(host.entered.waitFor(10s));
        thread.stop();
        // The thread still used the host and the engine after the time-out: stop() must not
        // have returned before it ended.
        EXPECT_TRUE(host.leftHandOver);
        EXPECT_FALSE(thread.isRunning());
    }
    EXPECT_TRUE(platform::debugLinesContain(L"线程退出：：对象处于非激发状态，超时"));
    EXPECT_TRUE(platform::debugLinesContain(L"KB灯光线程设定退出"));
}
