#include "platform/device_monitor.h"

#include "platform/debug_output.h"

#include <libudev.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {
// The device daemon's control socket: libudev's own test for a running daemon. Without one
// the monitor's socket opens fine but no event ever comes.
constexpr const char* kUdevControl = "/run/udev/control";
} // namespace

struct DeviceMonitor::Impl {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    int wake = -1;
    std::atomic<bool> broken{false};
    std::thread thread;

    ~Impl()
    {
        if (thread.joinable()) {
            const std::uint64_t one = 1;
            (void)!::write(wake, &one, sizeof one);
            thread.join();
        }
        if (wake >= 0)
            ::close(wake);
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }

    void run(const std::function<void()>& onChange)
    {
        const int events = udev_monitor_get_fd(monitor);
        for (;;) {
            std::array<pollfd, 2> waits{pollfd{events, POLLIN, 0}, pollfd{wake, POLLIN, 0}};
            if (::poll(waits.data(), waits.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                debugOutput(std::string("device monitor: ") + std::strerror(errno));
                return;
            }
            if (waits[1].revents != 0)
                return;
            // A socket in error would wake this poll at once, for ever.
            if ((waits[0].revents & (POLLERR | POLLNVAL | POLLHUP)) != 0) {
                debugOutput("device monitor: the event socket failed; no more device events");
                broken = true;
                if (onChange)
                    onChange(); // so that watchers look again, and see the monitor gone
                return;
            }
            bool changed = false;
            while (udev_device* device = udev_monitor_receive_device(monitor)) {
                const char* action = udev_device_get_action(device);
                // "change" too: udevadm trigger sends it when new rules (permissions) apply.
                if (action &&
                    (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0 ||
                     std::strcmp(action, "change") == 0))
                    changed = true;
                udev_device_unref(device);
            }
            if (changed && onChange)
                onChange();
        }
    }
};

DeviceMonitor::DeviceMonitor(const std::string& subsystem, std::function<void()> onChange)
    : DeviceMonitor(subsystem, std::move(onChange), kUdevControl)
{
}

DeviceMonitor::DeviceMonitor(const std::string& subsystem, std::function<void()> onChange,
                             const std::filesystem::path& daemonControl)
    : m_impl(std::make_unique<Impl>())
{
    std::error_code error;
    if (!std::filesystem::exists(daemonControl, error)) {
        debugOutput("device monitor: no udev daemon (" + daemonControl.string() +
                    " missing); device events for " + subsystem + " will not come");
        return;
    }
    m_impl->context = udev_new();
    if (m_impl->context)
        m_impl->monitor = udev_monitor_new_from_netlink(m_impl->context, "udev");
    if (!m_impl->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_impl->monitor, subsystem.c_str(),
                                                        nullptr) < 0 ||
        udev_monitor_enable_receiving(m_impl->monitor) < 0) {
        debugOutput("device monitor: no udev events for " + subsystem);
        return;
    }
    m_impl->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_impl->wake < 0) {
        debugOutput("device monitor: no eventfd");
        return;
    }
    Impl* impl = m_impl.get();
    m_impl->thread = std::thread([impl, onChange = std::move(onChange)] { impl->run(onChange); });
}

DeviceMonitor::~DeviceMonitor() = default;

bool DeviceMonitor::isActive() const
{
    return m_impl->thread.joinable() && !m_impl->broken;
}

} // namespace platform
