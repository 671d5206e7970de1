#pragma once

// The system's device arrival and removal events for one subsystem, as a call: the
// detection pass sleeps until something came or went instead of listing devices on a timer.
// Without a device daemon (Linux containers and minimal systems) the node folder is watched
// instead: the kernel makes and removes the nodes there by itself.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class DeviceMonitor {
public:
    // Calls `onChange` on a thread of the monitor's own for every device of the subsystem
    // ("hidraw") that is added, removed or changed (new rules applied). The call must return
    // promptly.
    DeviceMonitor(const std::string& subsystem, std::function<void()> onChange);
    // The same, taking `daemonControl` as the sign of a running device daemon and watching
    // `nodeFolder` without one (tests).
    DeviceMonitor(const std::string& subsystem, std::function<void()> onChange,
                  const std::filesystem::path& daemonControl,
                  const std::filesystem::path& nodeFolder);
    // Waits for a running call to return.
    ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    // False when the system's device events cannot be had (no udev daemon to send them and
    // no node folder to watch), or when the monitor broke since; the reason went to the
    // debug output, and callers fall back on their quick passes.
    bool isActive() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
