#pragma once

// halvek-devsim --hidraw: the emulated devices' plugged interfaces as hidraw nodes, with
// their sysfs records and udev events, in a private namespace where a given command runs
// against them through the system's own HID path (hidapi, libudev, /dev/hidrawN).

#include "devsim/hidraw/fuse_server.h"
#include "devsim/hidraw/hidraw_bridge.h"
#include "devsim/hidraw/namespace_runner.h"
#include "devsim/hidraw/sysfs_tree.h"
#include "devsim/hidraw/uevent_sender.h"

#include "platform/result.h"

#include <string>
#include <vector>

namespace devsim::hidraw {

// The exit status when the machine cannot give the namespace or FUSE: tests skip on it.
inline constexpr int kUnavailableStatus = 77;

class HidrawMode {
public:
    HidrawMode() = default;
    ~HidrawMode();
    HidrawMode(const HidrawMode&) = delete;
    HidrawMode& operator=(const HidrawMode&) = delete;

    // Enters the namespace; before any thread of the process starts.
    platform::Result<void> enter();
    // Serves the interfaces plugged now and follows later plugs and unplugs.
    platform::Result<void> start();
    // Brings the nodes in line with the plugs at once, so a control line's answer comes
    // after its nodes came or went.
    void sync() { m_bridge.sync(); }
    // Runs the command among the nodes; its exit status.
    int run(const std::vector<std::string>& command) { return m_runner.run(command); }
    // Removes the nodes; the emulated devices may go after it.
    void stop();

private:
    NamespaceRunner m_runner;
    FuseServer m_files;
    SysfsTree m_tree;
    UeventSender m_events;
    HidrawBridge m_bridge{m_files, m_tree, m_events, m_runner};
};

} // namespace devsim::hidraw
