#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using platform::Event;
using namespace std::chrono_literals;

TEST(Event, ManualResetReleasesEveryWaiterUntilReset)
{
    Event event(Event::ResetPolicy::Manual);
    EXPECT_FALSE(event.waitFor(0ms));
    event.set();
    EXPECT_TRUE(event.waitFor(0ms));
    EXPECT_TRUE(event.waitFor(0ms));
    event.reset();
    EXPECT_FALSE(event.waitFor(1ms));
}

TEST(Event, AutoResetReleasesOneWaiterPerSignal)
{
    Event event(Event::ResetPolicy::Automatic);
    Event released(Event::ResetPolicy::Automatic);
    std::atomic<int> count{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i)
        waiters.emplace_back([&] {
            event.wait();
            ++count;
            released.set();
        });
    event.set();
    ASSERT_TRUE(released.waitFor(10s));
    EXPECT_EQ(count.load(), 1);
    EXPECT_FALSE(event.isSet());
    event.set();
    ASSERT_TRUE(released.waitFor(10s));
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(count.load(), 2);
}

TEST(Event, AutoResetSignalsDoNotAccumulate)
{
    Event event(Event::ResetPolicy::Automatic);
    event.set();
    event.set();
    EXPECT_TRUE(event.waitFor(0ms));
    EXPECT_FALSE(event.waitFor(0ms));
}

TEST(Event, SignalFromAnotherThreadEndsATimedWait)
{
    Event event(Event::ResetPolicy::Automatic);
    std::thread setter([&] { event.set(); });
    EXPECT_TRUE(event.waitFor(10s));
    setter.join();
}

TEST(Event, WaitForAnyReturnsTheSignalledIndexAndConsumesOnlyIt)
{
    Event first(Event::ResetPolicy::Automatic);
    Event second(Event::ResetPolicy::Automatic);
    Event third(Event::ResetPolicy::Automatic);
    third.set();
    EXPECT_EQ(Event::waitForAny({&first, &second, &third}, 0ms), 2u);
    EXPECT_FALSE(third.isSet());

    first.set();
    second.set();
    EXPECT_EQ(Event::waitForAny({&first, &second}, 0ms), 0u);
    EXPECT_TRUE(second.isSet());

    EXPECT_FALSE(Event::waitForAny({&first, &third}, 1ms).has_value());
}

TEST(Event, WaitForAnyWakesWhenSetLater)
{
    Event stop(Event::ResetPolicy::Manual);
    Event data(Event::ResetPolicy::Automatic);
    std::thread setter([&] { data.set(); });
    EXPECT_EQ(Event::waitForAny({&stop, &data}, 10s), 1u);
    setter.join();
}

TEST(Event, AnUntimedWaitForAnyEndsOnlyWhenOneIsSet)
{
    Event stop(Event::ResetPolicy::Manual);
    Event data(Event::ResetPolicy::Automatic);
    data.set();
    EXPECT_EQ(Event::waitForAny({&stop, &data}), 1u);
    EXPECT_FALSE(data.isSet());

    // Many rounds, so that a set landing between the waiter's look and its sleep is met too.
    Event seen(Event::ResetPolicy::Automatic);
    std::thread waiter([&] {
        while (Event::waitForAny({&stop, &data}) == 1u)
            seen.set();
    });
    int rounds = 0;
    for (; rounds < 200; ++rounds) {
        data.set();
        if (!seen.waitFor(10s))
            break;
    }
    stop.set();
    waiter.join();
    EXPECT_EQ(rounds, 200);
}
