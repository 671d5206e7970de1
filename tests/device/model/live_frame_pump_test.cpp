#include "device/model/live_frame_pump.h"

#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

using platform::Event;

namespace {

// A link that takes frames only when the test lets it, recording their first bytes.
struct GatedLink {
    Event entered{Event::ResetPolicy::Automatic};
    Event release{Event::ResetPolicy::Automatic};
    std::mutex lock;
    std::vector<std::uint8_t> firstBytes;
    std::vector<std::size_t> sizes;
    std::atomic<bool> fail{false};

    bool send(std::span<const std::uint8_t> frame)
    {
        entered.set();
        (void)release.waitFor(std::chrono::seconds(5));
        std::lock_guard guard(lock);
        firstBytes.push_back(frame.empty() ? 0 : frame[0]);
        sizes.push_back(frame.size());
        return !fail.load();
    }
};

std::vector<std::uint8_t> frameStarting(std::uint8_t first, std::size_t size = 384)
{
    std::vector<std::uint8_t> frame(size, 0);
    frame[0] = first;
    return frame;
}

} // namespace

TEST(LiveFramePump, ANewerFrameReplacesOneNotYetSent)
{
    GatedLink link;
    model::LiveFramePump pump([&](auto frame) { return link.send(frame); });
    pump.start();
    pump.post(frameStarting(1));
    ASSERT_TRUE(link.entered.waitFor(std::chrono::seconds(5)));
    // While frame 1 is on the wire, 2 waits and 3 takes its place.
    pump.post(frameStarting(2));
    pump.post(frameStarting(3, 21));
    link.release.set();
    ASSERT_TRUE(link.entered.waitFor(std::chrono::seconds(5)));
    link.release.set();
    ASSERT_TRUE(pump.drain(std::chrono::seconds(5)));
    pump.stop();
    EXPECT_EQ(link.firstBytes, (std::vector<std::uint8_t>{1, 3}));
    EXPECT_EQ(link.sizes, (std::vector<std::size_t>{384, 21}));
    const auto counts = pump.counts();
    EXPECT_EQ(counts.posted, 3u);
    EXPECT_EQ(counts.sent, 2u);
    EXPECT_EQ(counts.dropped, 1u);
}

TEST(LiveFramePump, AFailedSendIsCountedAndStopEndsTheBackOff)
{
    GatedLink link;
    link.fail = true;
    model::LiveFramePump pump([&](auto frame) { return link.send(frame); });
    pump.start();
    pump.post(frameStarting(1));
    ASSERT_TRUE(link.entered.waitFor(std::chrono::seconds(5)));
    link.release.set();
    ASSERT_TRUE(pump.drain(std::chrono::seconds(5)));
    // The pump now rests for its back-off; a stop must not wait it out.
    pump.stop();
    EXPECT_FALSE(pump.isRunning());
    EXPECT_EQ(pump.counts().failed, 1u);
}

TEST(LiveFramePump, FlatOutSendsTheLastFrameAgainUntilStopped)
{
    GatedLink link;
    model::LiveFramePump pump([&](auto frame) { return link.send(frame); });
    pump.setFlatOut(true);
    pump.start();
    pump.post(frameStarting(7));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(link.entered.waitFor(std::chrono::seconds(5)));
        link.release.set();
    }
    ASSERT_TRUE(link.entered.waitFor(std::chrono::seconds(5)));
    pump.setFlatOut(false);
    link.release.set();
    pump.stop();
    EXPECT_GE(pump.counts().sent, 3u);
    EXPECT_EQ(pump.counts().posted, 1u);
}
