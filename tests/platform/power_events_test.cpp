// Suspend and resume as logind announces them, on a private bus with a fake logind.

#include "platform/power_events.h"

#include "platform/linux/bus_thread.h"
#include "support/message_recorder.h"
#include "support/private_bus.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <vector>

namespace {

using platform::BusThread;
using testing_support::MessageRecorder;
using testing_support::PrivateBus;

constexpr auto kTimeout = std::chrono::milliseconds(5000);

// A connection on the private bus; with a name it plays logind, which hands out delay
// locks as pipes: a lock is released when the read end sees the pipe closed.
class BusPeer {
public:
    BusPeer(const std::string& address, const char* name)
    {
        const auto started = m_bus.start(
            "fake logind", BusThread::Bus::System, address,
            [this, name](sd_bus* bus) -> platform::Result<void> {
                if (!name)
                    return {};
                if (sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1",
                                             "org.freedesktop.login1.Manager", kVtable, this) < 0 ||
                    sd_bus_request_name(bus, name, 0) < 0)
                    return platform::makeError(platform::Error::Code::Failed, "no logind");
                return {};
            },
            nullptr, kTimeout);
        EXPECT_TRUE(started) << (started ? "" : started.error().message);
    }

    ~BusPeer()
    {
        m_bus.stop(kTimeout);
        for (const int fd : m_lockReadEnds)
            ::close(fd);
    }

    // Waits until this many delay locks were handed out.
    bool waitForLocks(std::size_t count)
    {
        std::unique_lock guard(m_lock);
        return m_locksChanged.wait_for(guard, kTimeout,
                                       [&] { return m_lockReadEnds.size() >= count; });
    }

    // Whether the newest lock is still open; waits up to the time-out for it to close
    // when asked for a release.
    bool newestLockHeld(std::chrono::milliseconds waitForRelease = {})
    {
        int fd = -1;
        {
            std::lock_guard guard(m_lock);
            if (m_lockReadEnds.empty())
                return false;
            fd = m_lockReadEnds.back();
        }
        pollfd closed{fd, POLLIN, 0};
        return ::poll(&closed, 1, static_cast<int>(waitForRelease.count())) == 0;
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

    static int onInhibit(sd_bus_message* call, void* userdata, sd_bus_error*)
    {
        auto* self = static_cast<BusPeer*>(userdata);
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return -errno;
        // The reply carries a copy of the write end; ours goes at once.
        const int r = sd_bus_reply_method_return(call, "h", ends[1]);
        ::close(ends[1]);
        std::lock_guard guard(self->m_lock);
        self->m_lockReadEnds.push_back(ends[0]);
        self->m_locksChanged.notify_all();
        return r;
    }
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Inhibit", "ssss", "h", onInhibit, 0),
        SD_BUS_SIGNAL("PrepareForSleep", "b", 0), SD_BUS_VTABLE_END};

    std::mutex m_lock;
    std::condition_variable m_locksChanged;
    std::vector<int> m_lockReadEnds; // guarded by m_lock
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

TEST(PowerEvents, SystemWaitsUntilTheSuspendMessageIsHandled)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty()) << bus.error();
    BusPeer logind(bus.address(), "org.freedesktop.login1");
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
