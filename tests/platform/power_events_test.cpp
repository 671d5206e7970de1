// Suspend and resume as logind announces them, on a private bus with a fake logind.

#include "platform/power_events.h"

#include "support/fake_logind.h"
#include "support/message_recorder.h"
#include "support/private_bus.h"

#include <gtest/gtest.h>

namespace {

using testing_support::FakeLogind;
using testing_support::MessageRecorder;
using testing_support::PrivateBus;

constexpr auto kTimeout = std::chrono::milliseconds(5000);

class PowerEventsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_bus.address().empty()) << m_bus.error();
        const auto started = m_events.start(m_window.hwnd(), m_bus.address());
        ASSERT_TRUE(started) << started.error().message;
    }

    PrivateBus m_bus;
    MessageRecorder m_window;
    platform::PowerEvents m_events;
};

TEST_F(PowerEventsTest, SuspendAndResumeArriveInOrder)
{
    FakeLogind logind(m_bus.address());
    logind.prepareForSleep(true);
    logind.prepareForSleep(false);
    ASSERT_TRUE(m_window.waitForCount(2));
    const auto& got = m_window.messages();
    EXPECT_EQ(got[0].hwnd, m_window.hwnd());
    EXPECT_EQ(got[0].message, WM_POWERBROADCAST);
    EXPECT_EQ(got[0].wParam, PBT_APMSUSPEND);
    EXPECT_EQ(got[1].message, WM_POWERBROADCAST);
    EXPECT_EQ(got[1].wParam, PBT_APMRESUMEAUTOMATIC);
}

TEST_F(PowerEventsTest, SignalFromAnyoneButLogindIsIgnored)
{
    // Any program on the system bus can emit the signal; only logind's counts.
    FakeLogind impostor(m_bus.address(), nullptr);
    FakeLogind logind(m_bus.address());
    impostor.prepareForSleep(true);
    logind.prepareForSleep(false);
    // Both passed the bus in this order, so a suspend that got through would have been
    // posted before the resume.
    ASSERT_TRUE(m_window.waitForCount(1));
    platform::MessageQueue::current().pumpPending();
    ASSERT_EQ(m_window.messages().size(), 1u);
    EXPECT_EQ(m_window.messages()[0].wParam, PBT_APMRESUMEAUTOMATIC);
}

TEST(PowerEvents, SystemWaitsUntilTheSuspendMessageIsHandled)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty()) << bus.error();
    FakeLogind logind(bus.address());
    MessageRecorder window;
    bool heldWhileHandled = false;
    window.onMessage = [&](const platform::Message& message) {
        if (message.wParam == PBT_APMSUSPEND)
            heldWhileHandled = logind.newestLockHeld();
    };
    platform::PowerEvents events;
    ASSERT_TRUE(events.start(window.hwnd(), bus.address()));
    ASSERT_TRUE(logind.waitForLocks(1));

    logind.prepareForSleep(true);
    ASSERT_TRUE(window.waitForCount(1));
    EXPECT_TRUE(heldWhileHandled) << "the lock went before the window had the message";
    EXPECT_FALSE(logind.newestLockHeld(kTimeout)) << "the lock keeps the system awake";

    // After the resume the next suspend is delayed again.
    logind.prepareForSleep(false);
    ASSERT_TRUE(window.waitForCount(2));
    ASSERT_TRUE(logind.waitForLocks(2));
    EXPECT_TRUE(logind.newestLockHeld());
}

TEST_F(PowerEventsTest, MalformedSignalIsIgnored)
{
    FakeLogind logind(m_bus.address());
    logind.malformedPrepareForSleep();
    logind.prepareForSleep(false);
    ASSERT_TRUE(m_window.waitForCount(1));
    platform::MessageQueue::current().pumpPending();
    ASSERT_EQ(m_window.messages().size(), 1u);
    EXPECT_EQ(m_window.messages()[0].wParam, PBT_APMRESUMEAUTOMATIC);
}

TEST(PowerEvents, UnreachableBusIsReportedNotFatal)
{
    MessageRecorder window;
    platform::PowerEvents events;
    const auto started = events.start(window.hwnd(), "unix:path=/nonexistent/halvek-test-bus");
    ASSERT_FALSE(started);
    EXPECT_NE(started.error().message.find("system bus"), std::string::npos)
        << started.error().message;
    EXPECT_FALSE(events.isRunning());
}

TEST(PowerEvents, RefusesToStartWithoutAWindow)
{
    platform::PowerEvents events;
    EXPECT_FALSE(events.start(nullptr, "unix:path=/nonexistent"));
}

} // namespace
