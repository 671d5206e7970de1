#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(ChildProcess, ReportsHowTheChildEndedAndRefusesAMissingProgram)
{
    auto quick = platform::ChildProcess::start("/bin/sh", {"-c", "exit 3"});
    ASSERT_TRUE(quick);
    EXPECT_TRUE(quick->waitForExit(5s));
    EXPECT_FALSE(quick->isRunning());
    EXPECT_EQ(quick->exitStatus(), 3);

    // From PATH, as the companions are found when they are not beside the program.
    auto fromPath = platform::ChildProcess::start("true", {});
    ASSERT_TRUE(fromPath);
    EXPECT_TRUE(fromPath->waitForExit(5s));
    EXPECT_EQ(fromPath->exitStatus(), 0);

    const auto missing = platform::ChildProcess::start("/no/such/halvek-audio", {});
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("/no/such/halvek-audio"), std::string::npos);
}

TEST(ChildProcess, WaitsAreBoundedAndAStuckChildIsEnded)
{
    auto sleeper = platform::ChildProcess::start("/bin/sh", {"-c", "sleep 30"});
    ASSERT_TRUE(sleeper);
    auto start = Clock::now();
    EXPECT_FALSE(sleeper->waitForExit(100ms));
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_TRUE(sleeper->isRunning());
    EXPECT_TRUE(sleeper->terminate(5s)); // it obeys SIGTERM
    EXPECT_FALSE(sleeper->isRunning());

    // One that ignores SIGTERM is killed after the grace time, not waited for.
    auto stubborn = platform::ChildProcess::start(
        "/bin/sh", {"-c", "trap '' TERM; echo; while :; do sleep 1; done"});
    ASSERT_TRUE(stubborn);
    std::this_thread::sleep_for(200ms); // the trap is set before the signal comes
    start = Clock::now();
    EXPECT_FALSE(stubborn->terminate(300ms));
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_FALSE(stubborn->isRunning());
    EXPECT_EQ(stubborn->exitStatus(), -9);
}

} // namespace
