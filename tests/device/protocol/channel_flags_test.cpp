#include "device/protocol/device_protocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::shared_ptr<platform::Event> newWatcher()
{
    return std::make_shared<platform::Event>(platform::Event::ResetPolicy::Automatic);
}

} // namespace

TEST(ChannelFlags, EveryWatcherIsToldOfEachChangeOnceAndNotOfARepeat)
{
    CDeviceProtocol channel;
    const auto first = newWatcher();
    const auto second = newWatcher();
    channel.watchFlags(first);
    channel.watchFlags(second);
    channel.watchFlags(first); // once is enough
    {
        // A watcher that ends is no concern of the channel's.
        const auto gone = newWatcher();
        channel.watchFlags(gone);
    }

    channel.setOpen(true);
    EXPECT_TRUE(first->waitFor(0ms));
    EXPECT_TRUE(second->waitFor(0ms));
    channel.setOpen(true);
    channel.setLightingSync(false);
    EXPECT_FALSE(first->isSet());
    EXPECT_FALSE(second->isSet());

    channel.setLightingSync(true);
    EXPECT_TRUE(first->waitFor(0ms));
    EXPECT_TRUE(second->waitFor(0ms));
    channel.closeLinks();
    EXPECT_FALSE(channel.isOpen());
    EXPECT_TRUE(first->waitFor(0ms));
    EXPECT_TRUE(second->waitFor(0ms));
}

TEST(ChannelFlags, AWatcherThatLooksThenSleepsNeverMissesAChange)
{
    // The watcher looks at the flag, then sleeps until told. A change that lands between
    // the two must still wake it, and it must then read the new value, or it sleeps for
    // good: many rounds, so that some changes do land there.
    CDeviceProtocol channel;
    const auto changed = newWatcher();
    channel.watchFlags(changed);
    constexpr int kRounds = 300;
    platform::Event seen(platform::Event::ResetPolicy::Automatic);
    std::atomic<bool> missed{false};
    std::thread watcher([&] {
        for (int round = 1; round <= kRounds; ++round) {
            const bool wanted = round % 2 == 1;
            while (channel.isLightingSync() != wanted) {
                if (!changed->waitFor(10s)) {
                    missed = true;
                    return;
                }
            }
            seen.set();
        }
    });
    int round = 1;
    for (; round <= kRounds; ++round) {
        channel.setLightingSync(round % 2 == 1);
        if (!seen.waitFor(10s))
            break;
    }
    watcher.join();
    EXPECT_FALSE(missed.load());
    EXPECT_EQ(round, kRounds + 1);
}
