// Suspend and resume as logind announces them, on a private bus with a fake logind.

#include "platform/power_events.h"

#include "platform/linux/bus_thread.h"
#include "support/message_recorder.h"
#include "support/private_bus.h"

#include <gtest/gtest.h>

#include <functional>
#include <systemd/sd-bus.h>

namespace {

using platform::BusThread;
using testing_support::MessageRecorder;
using testing_support::PrivateBus;

constexpr auto kTimeout = std::chrono::milliseconds(5000);

// A connection on the private bus; with a name it plays logind.
class BusPeer {
public:
    BusPeer(const std::string& address, const char* name)
    {
        const auto started = m_bus.start(
            "fake logind", BusThread::Bus::System, address,
            [name](sd_bus* bus) -> platform::Result<void> {
                if (name && sd_bus_request_name(bus, name, 0) < 0)
                    return platform::makeError(platform::Error::Code::Failed, "name taken");
                return {};
            },
            nullptr, kTimeout);
        EXPECT_TRUE(started) << (started ? "" : started.error().message);
    }

    // Emits PrepareForSleep and waits until the bus daemon has routed it: a round trip
    // on the same connection returns only after everything sent before it.
    void prepareForSleep(bool sleeping)
    {
        emit([&](sd_bus* bus) {
            sd_bus_emit_signal(bus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                               "PrepareForSleep", "b", sleeping ? 1 : 0);
        });
    }

    // The same signal with a text where the flag belongs.
    void malformedPrepareForSleep()
    {
        emit([&](sd_bus* bus) {
            sd_bus_emit_signal(bus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                               "PrepareForSleep", "s", "true");
        });
    }

private:
    void emit(const std::function<void(sd_bus*)>& send)
    {
        platform::Event routed(platform::Event::ResetPolicy::Manual);
        m_bus.post([&](sd_bus* bus) {
            send(bus);
            sd_bus_message* reply = nullptr;
            sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "GetId", nullptr, &reply, "");
            sd_bus_message_unref(reply);
            routed.set();
        });
        ASSERT_TRUE(routed.waitFor(kTimeout));
    }

    BusThread m_bus;
};

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
    BusPeer logind(m_bus.address(), "org.freedesktop.login1");
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
    BusPeer impostor(m_bus.address(), nullptr);
    BusPeer logind(m_bus.address(), "org.freedesktop.login1");
    impostor.prepareForSleep(true);
    logind.prepareForSleep(false);
    // Both passed the bus in this order, so a suspend that got through would have been
    // posted before the resume.
    ASSERT_TRUE(m_window.waitForCount(1));
    platform::MessageQueue::current().pumpPending();
    ASSERT_EQ(m_window.messages().size(), 1u);
    EXPECT_EQ(m_window.messages()[0].wParam, PBT_APMRESUMEAUTOMATIC);
}

TEST_F(PowerEventsTest, MalformedSignalIsIgnored)
{
    BusPeer logind(m_bus.address(), "org.freedesktop.login1");
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
