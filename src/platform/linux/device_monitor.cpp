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
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {
// The device daemon's control socket: libudev's own test for a running daemon. Without one
// the monitor's socket opens fine but no event ever comes.
constexpr const char* kUdevControl = "/run/udev/control";
// Where the kernel (devtmpfs) makes and removes device nodes, daemon or not.
constexpr const char* kNodeFolder = "/dev";

// Node names begin with their subsystem's ("hidraw0"); chmod or chown counts as a change, as
// udev's "change" does, since it may let us open a node we could not.
constexpr std::uint32_t kNodeChanges = IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM |
                                       IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
} // namespace

struct DeviceMonitor::Impl {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    int nodes = -1; // inotify on the node folder, when there is no daemon to send events
    std::string nodePrefix;
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
        if (nodes >= 0)
            ::close(nodes);
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }

    void run(const std::function<void()>& onChange)
    {
        const int events = monitor ? udev_monitor_get_fd(monitor) : nodes;
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
            bool failed = (waits[0].revents & (POLLERR | POLLNVAL | POLLHUP)) != 0;
            bool changed = false;
            if (!failed)
                failed = !(monitor ? receiveDeviceEvents(changed) : readNodeEvents(changed));
            if (failed) {
                debugOutput("device monitor: the event source failed; no more device events");
                broken = true;
                if (onChange)
                    onChange(); // so that watchers look again, and see the monitor gone
                return;
            }
            if (changed && onChange)
                onChange();
        }
    }

    bool receiveDeviceEvents(bool& changed)
    {
        while (udev_device* device = udev_monitor_receive_device(monitor)) {
            const char* action = udev_device_get_action(device);
            // "change" too: udevadm trigger sends it when new rules (permissions) apply.
            if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0 ||
                           std::strcmp(action, "change") == 0))
                changed = true;
            udev_device_unref(device);
        }
        return true;
    }

    // False once the folder's watch is gone (the folder removed, moved or unmounted).
    bool readNodeEvents(bool& changed)
    {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t length = ::read(nodes, buffer, sizeof buffer);
            if (length < 0)
                return errno == EAGAIN || errno == EINTR;
            if (length == 0)
                return true;
            for (ssize_t at = 0; at < length;) {
                inotify_event event{};
                std::memcpy(&event, buffer + at, sizeof event);
                const char* name = buffer + at + sizeof event;
                at += ssize_t(sizeof event + event.len);
                if ((event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) != 0)
                    return false;
                // Events were lost: anything may have come or gone.
                if ((event.mask & IN_Q_OVERFLOW) != 0 ||
                    (event.len > 0 &&
                     std::strncmp(name, nodePrefix.c_str(), nodePrefix.size()) == 0))
                    changed = true;
            }
        }
    }

    bool watchDaemon(const std::string& subsystem)
    {
        context = udev_new();
        if (context)
            monitor = udev_monitor_new_from_netlink(context, "udev");
        if (!monitor ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor, subsystem.c_str(), nullptr) <
                0 ||
            udev_monitor_enable_receiving(monitor) < 0) {
            debugOutput("device monitor: no udev events for " + subsystem);
            return false;
        }
        return true;
    }

    bool watchNodes(const std::string& subsystem, const std::filesystem::path& folder)
    {
        nodes = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (nodes < 0 || ::inotify_add_watch(nodes, folder.c_str(), kNodeChanges) < 0) {
            debugOutput("device monitor: " + folder.string() + " cannot be watched (" +
                        std::strerror(errno) + "); " + subsystem +
                        " devices will be looked for on a timer");
            return false;
        }
        nodePrefix = subsystem;
        debugOutput("device monitor: watching " + folder.string() + " for " + subsystem +
                    " nodes instead");
        return true;
    }
};

DeviceMonitor::DeviceMonitor(const std::string& subsystem, std::function<void()> onChange)
    : DeviceMonitor(subsystem, std::move(onChange), kUdevControl, kNodeFolder)
{
}

DeviceMonitor::DeviceMonitor(const std::string& subsystem, std::function<void()> onChange,
                             const std::filesystem::path& daemonControl,
                             const std::filesystem::path& nodeFolder)
    : m_impl(std::make_unique<Impl>())
{
    std::error_code error;
    if (std::filesystem::exists(daemonControl, error)) {
        if (!m_impl->watchDaemon(subsystem))
            return;
    } else {
        // The kernel still makes and removes the nodes; their folder tells of every plug.
        debugOutput("device monitor: no udev daemon (" + daemonControl.string() + " missing)");
        if (!m_impl->watchNodes(subsystem, nodeFolder))
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
