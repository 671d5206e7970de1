#include "device/model/report_listener.h"

#include "device/hid/hid_device.h"
#include "devsim/keyboard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;
using model::ConsumerAction;
using model::ListenerLink;

TEST(ConsumerReportTable, CodesTurnIntoTheirActions)
{
    struct Case {
        std::uint16_t code;
        ListenerLink link;
        ConsumerAction action;
        std::uint8_t slot, value;
    };
    const Case cases[] = {
        {0x0401, ListenerLink::Cable, ConsumerAction::Sync, 0, 0},
        {0x0401, ListenerLink::Receiver, ConsumerAction::Sync, 0, 0},
        {0x0402, ListenerLink::Cable, ConsumerAction::SyncWithProfile, 0, 0},
        // Through the receiver 0x0402 is not singled out.
        {0x0402, ListenerLink::Receiver, ConsumerAction::Ignore, 0, 0},
        {0x1003, ListenerLink::Cable, ConsumerAction::SlotNotice, 3, 0},
        {0x10F7, ListenerLink::Receiver, ConsumerAction::SlotNotice, 7, 0},
        {0x1123, ListenerLink::Cable, ConsumerAction::SlotValueNotice, 3, 2},
        {0x1200, ListenerLink::Cable, ConsumerAction::Ignore, 0, 0},
        {0x0403, ListenerLink::Cable, ConsumerAction::Ignore, 0, 0},
        {0x00E9, ListenerLink::Cable, ConsumerAction::Ignore, 0, 0},
        {0x0000, ListenerLink::Cable, ConsumerAction::Ignore, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const auto report = model::decodeConsumerUsage(c.code, c.link);
        EXPECT_EQ(report.code, c.code);
        EXPECT_EQ(report.link, c.link);
        EXPECT_EQ(report.action, c.action);
        EXPECT_EQ(report.activeSlot, c.slot);
        EXPECT_EQ(report.secondValue, c.value);
    }
}

TEST(ConsumerReportTable, ReportsWithoutAUsageGiveCodeZero)
{
    EXPECT_EQ(model::firstUsage({}), 0);
    hid::DataEntry noList;
    noList.isButton = true;
    EXPECT_EQ(model::firstUsage(std::vector{noList}), 0);
    hid::DataEntry value;
    value.usage = 0x30;
    value.value = 0x0401;
    EXPECT_EQ(model::firstUsage(std::vector{value}), 0);
    hid::DataEntry button;
    button.isButton = true;
    button.usages = {0x0401, 0};
    EXPECT_EQ(model::firstUsage(std::vector{button, noList}), 0x0401);
}

// The emulated keyboard with both links plugged, and what a listener's sink was handed.
class ReportListenerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keyboard.plug(devsim::KeyboardLink::Cable);
        keyboard.plug(devsim::KeyboardLink::Receiver);
    }

    model::ReportListener::Sink sink()
    {
        return [this](const model::ConsumerReport& report) {
            {
                std::lock_guard guard(m_lock);
                m_reports.push_back(report);
            }
            m_arrived.set();
        };
    }

    // The next report handed to the sink, or code 0xFFFF when none came in time.
    model::ConsumerReport next()
    {
        for (;;) {
            {
                std::lock_guard guard(m_lock);
                if (!m_reports.empty()) {
                    const auto report = m_reports.front();
                    m_reports.pop_front();
                    return report;
                }
            }
            if (!m_arrived.waitFor(5s))
                return {ListenerLink::Cable, 0xFFFF};
        }
    }

    std::size_t waiting()
    {
        std::lock_guard guard(m_lock);
        return m_reports.size();
    }

    devsim::Keyboard keyboard;

private:
    std::mutex m_lock;
    std::deque<model::ConsumerReport> m_reports;
    platform::Event m_arrived{platform::Event::ResetPolicy::Automatic};
};

TEST_F(ReportListenerTest, CableReportsReachTheSinkAndSetTheLastUsage)
{
    model::ReportListener listener(ListenerLink::Cable, sink());
    ASSERT_TRUE(listener.open(keyboard.consumerPath(devsim::KeyboardLink::Cable)));
    ASSERT_TRUE(keyboard.sendConsumerUsage(0x0402));
    const auto sync = next();
    EXPECT_EQ(sync.action, ConsumerAction::SyncWithProfile);
    EXPECT_EQ(model::lastCableUsage(), 0x0402);
    // The on-device profile switch: slot 5.
    ASSERT_TRUE(keyboard.switchProfile(5));
    const auto notice = next();
    EXPECT_EQ(notice.action, ConsumerAction::SlotNotice);
    EXPECT_EQ(notice.activeSlot, 5);
    ASSERT_TRUE(keyboard.sendConsumerUsage(0x1123));
    const auto two = next();
    EXPECT_EQ(two.action, ConsumerAction::SlotValueNotice);
    EXPECT_EQ(two.activeSlot, 3);
    EXPECT_EQ(two.secondValue, 2);
}

TEST_F(ReportListenerTest, ReceiverReportsLeaveTheCablesLastUsageAlone)
{
    model::ReportListener cable(ListenerLink::Cable, sink());
    ASSERT_TRUE(cable.open(keyboard.consumerPath(devsim::KeyboardLink::Cable)));
    ASSERT_TRUE(keyboard.sendConsumerUsage(0x1002));
    ASSERT_EQ(next().code, 0x1002);
    ASSERT_TRUE(cable.close());

    model::ReportListener receiver(ListenerLink::Receiver, sink());
    ASSERT_TRUE(receiver.open(keyboard.consumerPath(devsim::KeyboardLink::Receiver)));
    keyboard.unplug(devsim::KeyboardLink::Cable); // the keyboard now talks through its receiver
    ASSERT_TRUE(keyboard.sendConsumerUsage(0x0401));
    const auto report = next();
    EXPECT_EQ(report.link, ListenerLink::Receiver);
    EXPECT_EQ(report.action, ConsumerAction::Sync);
    EXPECT_EQ(model::lastCableUsage(), 0x1002);
}

TEST_F(ReportListenerTest, CloseWhileTheThreadWaitsInAReadEndsIt)
{
    for (int round = 0; round < 20; ++round) {
        model::ReportListener listener(ListenerLink::Cable, sink());
        ASSERT_TRUE(listener.open(keyboard.consumerPath(devsim::KeyboardLink::Cable)));
        if (round % 2 == 1) {
            // Make sure the thread is inside its read: a report comes through first.
            ASSERT_TRUE(keyboard.sendConsumerUsage(0x0401));
            ASSERT_EQ(next().code, 0x0401);
        }
        EXPECT_TRUE(listener.close());
        EXPECT_FALSE(listener.isOpen());
    }
    // Closing what is closed, and a listener destroyed while open, stop the same way.
    model::ReportListener listener(ListenerLink::Cable, sink());
    EXPECT_TRUE(listener.close());
    ASSERT_TRUE(listener.open(keyboard.consumerPath(devsim::KeyboardLink::Cable)));
}

TEST_F(ReportListenerTest, UnpluggedInterfaceLeavesTheThreadWaitingForItsClose)
{
    model::ReportListener listener(ListenerLink::Cable, sink());
    ASSERT_TRUE(listener.open(keyboard.consumerPath(devsim::KeyboardLink::Cable)));
    keyboard.unplug(devsim::KeyboardLink::Cable);
    keyboard.plug(devsim::KeyboardLink::Cable);
    // The old connection is gone for good; nothing comes through it.
    ASSERT_TRUE(keyboard.sendConsumerUsage(0x0401));
    EXPECT_TRUE(listener.close());
    EXPECT_EQ(waiting(), 0u);
    // Opened again, it hears the device.
    ASSERT_TRUE(listener.open(keyboard.consumerPath(devsim::KeyboardLink::Cable)));
    ASSERT_TRUE(keyboard.sendConsumerUsage(0x0401));
    EXPECT_EQ(next().code, 0x0401);
}

TEST_F(ReportListenerTest, ReopeningOnAnotherPathLeavesTheFirstInterface)
{
    model::ReportListener listener(ListenerLink::Cable, sink());
    ASSERT_TRUE(listener.open(keyboard.consumerPath(devsim::KeyboardLink::Receiver)));
    ASSERT_TRUE(listener.open(keyboard.consumerPath(devsim::KeyboardLink::Cable)));
    // Only the cable's interface is open now: the receiver's report goes nowhere.
    ASSERT_TRUE(keyboard.interfaces(devsim::KeyboardLink::Receiver).sendConsumerUsage(0x1001));
    ASSERT_TRUE(keyboard.sendConsumerUsage(0x1002));
    EXPECT_EQ(next().code, 0x1002);
    EXPECT_EQ(waiting(), 0u);
}

TEST_F(ReportListenerTest, InterfaceThatCannotBeOpenedLeavesTheListenerClosed)
{
    model::ReportListener listener(ListenerLink::Cable, sink());
    EXPECT_FALSE(listener.open(L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col03#sim&7fff&0#"));
    EXPECT_FALSE(listener.isOpen());
    EXPECT_TRUE(listener.close());
}

} // namespace
