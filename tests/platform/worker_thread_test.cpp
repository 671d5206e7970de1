#include "platform/worker_thread.h"

#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

TEST(WorkerThread, StopsThroughItsStopEvent)
{
    platform::WorkerThread worker;
    std::atomic<int> passes{0};
    platform::Event started(platform::Event::ResetPolicy::Manual);
    ASSERT_TRUE(worker.start("passes", [&](platform::Event& stop) {
        started.set();
        while (!stop.waitFor(1ms))
            ++passes;
    }));
    ASSERT_TRUE(started.waitFor(10s));
    EXPECT_TRUE(worker.isRunning());
    EXPECT_TRUE(worker.stop(10s));
    EXPECT_FALSE(worker.isRunning());
}

TEST(WorkerThread, LateWorkerIsReportedAndLeftToEnd)
{
    platform::Event release(platform::Event::ResetPolicy::Manual);
    platform::Event ended(platform::Event::ResetPolicy::Manual);
    {
        platform::WorkerThread worker;
        ASSERT_TRUE(worker.start("stubborn", [&](platform::Event&) {
            (void)release.waitFor(10s);
            ended.set();
        }));
        EXPECT_FALSE(worker.stop(1ms));
        EXPECT_TRUE(platform::debugLinesContain(L"\"stubborn\" did not stop in time"));
    }
    release.set();
    EXPECT_TRUE(ended.waitFor(10s));
}
