#include "support/fake_logind.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace testing_support {
namespace {

constexpr auto kTimeout = std::chrono::milliseconds(5000);
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kInterface = "org.freedesktop.login1.Manager";

} // namespace

FakeLogind::FakeLogind(const std::string& address, const char* name)
{
    static const sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Inhibit", "ssss", "h", onInhibit, 0),
        SD_BUS_SIGNAL("PrepareForSleep", "b", 0), SD_BUS_VTABLE_END};
    const auto started = m_bus.start(
        "fake logind", platform::BusThread::Bus::System, address,
        [this, name](sd_bus* bus) -> platform::Result<void> {
            if (!name)
                return {};
            if (sd_bus_add_object_vtable(bus, nullptr, kPath, kInterface, kVtable, this) < 0 ||
                sd_bus_request_name(bus, name, 0) < 0)
                return platform::makeError(platform::Error::Code::Failed, "no logind");
            return {};
        },
        nullptr, kTimeout);
    EXPECT_TRUE(started) << (started ? "" : started.error().message);
}

FakeLogind::~FakeLogind()
{
    m_bus.stop(kTimeout);
    for (const int fd : m_lockReadEnds)
        ::close(fd);
}

bool FakeLogind::waitForLocks(std::size_t count)
{
    std::unique_lock guard(m_lock);
    return m_locksChanged.wait_for(guard, kTimeout, [&] { return m_lockReadEnds.size() >= count; });
}

bool FakeLogind::newestLockHeld(std::chrono::milliseconds waitForRelease)
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

void FakeLogind::prepareForSleep(bool sleeping)
{
    emit([&](sd_bus* bus) {
        sd_bus_emit_signal(bus, kPath, kInterface, "PrepareForSleep", "b", sleeping ? 1 : 0);
    });
}

void FakeLogind::malformedPrepareForSleep()
{
    emit([&](sd_bus* bus) {
        sd_bus_emit_signal(bus, kPath, kInterface, "PrepareForSleep", "s", "true");
    });
}

void FakeLogind::emit(const std::function<void(sd_bus*)>& send)
{
    // A round trip on the same connection returns only after everything sent before it.
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

int FakeLogind::onInhibit(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    auto* self = static_cast<FakeLogind*>(userdata);
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

} // namespace testing_support
