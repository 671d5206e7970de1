#include "platform/power_events.h"

#include "platform/debug_output.h"
#include "platform/linux/bus_thread.h"
#include "platform/message_queue.h"

#include <cstring>
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr auto kTimeout = std::chrono::milliseconds(1000);
constexpr const char* kLogindName = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindInterface = "org.freedesktop.login1.Manager";

// What the bus thread keeps between logind's signals. Touched on the bus thread only.
struct SleepWatch {
    HWND target = nullptr;
    // A delay lock: while it is open, logind waits (a few seconds at most) before the
    // system sleeps, so the window handles the suspend message first. -1 when none.
    int lockFd = -1;

    ~SleepWatch() { releaseLock(); }
    void releaseLock()
    {
        if (lockFd >= 0)
            ::close(lockFd);
        lockFd = -1;
    }
};

int onInhibitReply(sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    auto& watch = *static_cast<SleepWatch*>(userdata);
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
        // Not allowed, or no logind: the messages still come, only without the delay.
        debugOutput(std::string("power events: no delay lock (") +
                    (error->message ? error->message : error->name) + ")");
        return 0;
    }
    int fd = -1;
    if (sd_bus_message_read(reply, "h", &fd) < 0 || fd < 0)
        return 0;
    // The message owns its descriptor; keep a copy of our own.
    watch.releaseLock();
    watch.lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    return 0;
}

void takeLock(sd_bus* bus, SleepWatch& watch)
{
    const int r = sd_bus_call_method_async(
        bus, nullptr, kLogindName, kLogindPath, kLogindInterface, "Inhibit", onInhibitReply, &watch,
        "ssss", "sleep", "Halvek", "The devices' lighting is handed back before the system sleeps",
        "delay");
    if (r < 0)
        debugOutput(std::string("power events: asking for a delay lock: ") + std::strerror(-r));
}

int onPrepareForSleep(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    auto& watch = *static_cast<SleepWatch*>(userdata);
    int sleeping = 0;
    if (sd_bus_message_read(message, "b", &sleeping) < 0)
        return 0;
    if (sleeping) {
        // Sent, not posted: the system sleeps once the window has handled it.
        sendMessage(watch.target, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
        watch.releaseLock();
    } else {
        postMessage(watch.target, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
        takeLock(sd_bus_message_get_bus(message), watch);
    }
    return 0;
}

} // namespace

struct PowerEvents::Listener {
    BusThread bus;
};

PowerEvents::PowerEvents() = default;

PowerEvents::~PowerEvents()
{
    stop();
}

Result<void> PowerEvents::start(HWND target, const std::string& busAddress)
{
    stop();
    if (!target)
        return makeError(Error::Code::InvalidInput, "power events: no window");
    auto listener = std::make_unique<Listener>();
    // Owned by the setup, which lives as long as the bus thread.
    auto watch = std::make_shared<SleepWatch>();
    watch->target = target;
    auto started = listener->bus.start(
        "power events", BusThread::Bus::System, busAddress,
        [watch](sd_bus* bus) -> Result<void> {
            const int r =
                sd_bus_match_signal(bus, nullptr, kLogindName, kLogindPath, kLogindInterface,
                                    "PrepareForSleep", onPrepareForSleep, watch.get());
            if (r < 0)
                return makeError(Error::Code::Unavailable,
                                 std::string("power events: ") + std::strerror(-r));
            takeLock(bus, *watch);
            return {};
        },
        nullptr, kTimeout);
    if (!started)
        return started.error();
    m_listener = std::move(listener);
    return {};
}

void PowerEvents::stop()
{
    if (m_listener)
        m_listener->bus.stop(kTimeout);
    m_listener.reset();
}

bool PowerEvents::isRunning() const
{
    return m_listener && m_listener->bus.isRunning();
}

} // namespace platform
