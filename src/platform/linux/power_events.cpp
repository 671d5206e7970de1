#include "platform/power_events.h"

#include "platform/linux/bus_thread.h"
#include "platform/message_queue.h"

#include <cstring>
#include <systemd/sd-bus.h>

namespace platform {
namespace {

constexpr auto kTimeout = std::chrono::milliseconds(1000);

int onPrepareForSleep(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    int sleeping = 0;
    if (sd_bus_message_read(message, "b", &sleeping) < 0)
        return 0;
    // The handle is an opaque token; it travels as the callback's user data.
    const HWND target = static_cast<HWND>(userdata);
    postMessage(target, WM_POWERBROADCAST, sleeping ? PBT_APMSUSPEND : PBT_APMRESUMEAUTOMATIC, 0);
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
    auto started = listener->bus.start(
        "power events", BusThread::Bus::System, busAddress,
        [target](sd_bus* bus) -> Result<void> {
            const int r = sd_bus_match_signal(bus, nullptr, "org.freedesktop.login1",
                                              "/org/freedesktop/login1",
                                              "org.freedesktop.login1.Manager", "PrepareForSleep",
                                              onPrepareForSleep, static_cast<void*>(target));
            if (r < 0)
                return makeError(Error::Code::Unavailable,
                                 std::string("power events: ") + std::strerror(-r));
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
