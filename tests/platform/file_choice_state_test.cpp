// A chooser request's course between its owner and the chooser's thread, as both systems'
// choosers use it.

#include "platform/file_choice_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using platform::FileChoice;
using platform::FileChoiceOutcome;
using platform::FileChoiceState;

TEST(FileChoiceState, AnAnswerEndsTheRequestOnceAndIsToldOnceOutsideTheLock)
{
    FileChoiceState state;
    int told = 0;
    // Reading the state from the notice would hang if the lock were still held.
    state.setOnFinished([&] {
        ++told;
        EXPECT_TRUE(state.isFinished());
    });
    bool alongside = false;
    EXPECT_TRUE(state.finish({FileChoiceOutcome::Chosen, "/home/a/one.mac", {}},
                             [&] { alongside = true; }));
    EXPECT_TRUE(alongside);
    EXPECT_FALSE(state.finish({FileChoiceOutcome::Cancelled, {}, {}}, [] { FAIL(); }));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(state.result().outcome, FileChoiceOutcome::Chosen);
    EXPECT_EQ(state.result().file, "/home/a/one.mac");
    // Answered before anyone waited: the request goes on to its answer.
    EXPECT_TRUE(state.awaitTaken(0ms, "late"));
}

TEST(FileChoiceState, ARequestNobodyTookInTimeIsUnavailableAndALaterAnswerChangesNothing)
{
    FileChoiceState state;
    int told = 0;
    state.setOnFinished([&] { ++told; });
    bool withdrawn = false;
    EXPECT_FALSE(state.awaitTaken(10ms, "no chooser came", [&] { withdrawn = true; }));
    EXPECT_TRUE(withdrawn);
    EXPECT_TRUE(state.isFinished());
    EXPECT_EQ(state.result().why, "no chooser came");
    // The owner heard it from start(); a dialog that answers after it is not taken up.
    EXPECT_FALSE(state.finish({FileChoiceOutcome::Chosen, "/tmp/late.mac", {}}));
    EXPECT_EQ(state.result().outcome, FileChoiceOutcome::Unavailable);
    EXPECT_EQ(told, 0);
}

TEST(FileChoiceState, ATakenRequestGoesOnUntilItsAnswerAndOneEndedUnavailableDoesNot)
{
    FileChoiceState state;
    std::atomic<bool> wasOpen = false;
    std::thread chooser([&] {
        {
            const auto held = state.lock();
            state.markTaken(held);
            wasOpen = state.isOpen(held);
        }
        state.notifyChanged();
    });
    // Far past any machine's delay: the wait ends when the request is taken.
    EXPECT_TRUE(state.awaitTaken(60s, "late", [] { FAIL() << "taken, yet given up"; }));
    chooser.join();
    EXPECT_TRUE(wasOpen);
    EXPECT_FALSE(state.isFinished());
    EXPECT_TRUE(state.finish({FileChoiceOutcome::Cancelled, {}, {}}));
    EXPECT_FALSE(state.isOpen(state.lock())) << "an answered request is withdrawn still";

    FileChoiceState failed;
    failed.finish({FileChoiceOutcome::Unavailable, {}, "the bus went away"});
    EXPECT_FALSE(failed.awaitTaken(60s, "late"));
    EXPECT_EQ(failed.result().why, "the bus went away");

    // Given up by the owner itself: nobody is told, and it stays given up.
    FileChoiceState refused;
    int told = 0;
    refused.setOnFinished([&] { ++told; });
    refused.giveUp(refused.lock(), "no bus");
    refused.giveUp(refused.lock(), "again");
    EXPECT_EQ(refused.result().why, "no bus");
    EXPECT_EQ(told, 0);
    // The owner gone, an answer tells no one.
    FileChoiceState orphan;
    orphan.setOnFinished([&] { ++told; });
    orphan.forgetOnFinished(orphan.lock());
    orphan.finish({FileChoiceOutcome::Cancelled, {}, {}});
    EXPECT_EQ(told, 0);
}
