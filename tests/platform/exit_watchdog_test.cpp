#include "platform/exit_watchdog.h"
#include "platform/process_stats.h"

#include "platform/event.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {
// Stands for a teardown that never finishes.
void hangForLong()
{
    platform::Event never(platform::Event::ResetPolicy::Manual);
    (void)never.waitFor(30s);
}
} // namespace

TEST(ExitWatchdogDeathTest, EndsAStuckProcessWithTheCodeAndTheReason)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::armExitWatchdog(50ms, 7, "the teardown hung");
            hangForLong();
        },
        ::testing::ExitedWithCode(7), "halvek: the teardown hung; ending now");
}

TEST(ExitWatchdogDeathTest, ALaterCallOnlyBringsTheDeadlineCloser)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::armExitWatchdog(20s, 3, "first");
            platform::armExitWatchdog(60s, 4, "later and longer: ignored");
            platform::armExitWatchdog(50ms, 5, "closer");
            hangForLong();
        },
        ::testing::ExitedWithCode(5), "closer");
}

TEST(ProcessStats, ReportTheStartTimeAndResidentMemory)
{
    const auto since = platform::timeSinceProcessStart();
    ASSERT_TRUE(since);
    EXPECT_GE(since->count(), 0);
    EXPECT_LT(since->count(), 10LL * 60 * 1000)
        << "this test process, not the machine, started recently";
    const auto resident = platform::residentMemoryBytes();
    ASSERT_TRUE(resident);
    EXPECT_GT(*resident, 1024u * 1024u);
}
