#pragma once

// Keeps one hidraw node for every plugged emulated interface, as the kernel keeps them for
// USB devices: a plug adds the USB device (once per link), its interface, HID device and
// node, in that order, each with its sysfs record and add event, and binds the node into
// /dev; an unplug ends the node's open files at once and removes everything again with
// remove events, innermost first. Node numbers are the lowest free, as hidraw gives them.

#include "devsim/hidraw/fuse_server.h"
#include "devsim/hidraw/namespace_runner.h"
#include "devsim/hidraw/sysfs_tree.h"
#include "devsim/hidraw/uevent_sender.h"

#include "device/hid/hid_changes.h"
#include "platform/worker_thread.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace devsim::hidraw {

class HidrawBridge {
public:
    HidrawBridge(FuseServer& files, SysfsTree& tree, UeventSender& events, NamespaceRunner& runner);
    ~HidrawBridge();
    HidrawBridge(const HidrawBridge&) = delete;
    HidrawBridge& operator=(const HidrawBridge&) = delete;

    // Follows plugs and unplugs from now on, also those the devices make themselves.
    bool start();
    // Stops following and removes every node.
    void stop();

    // Brings the nodes in line with the plugged interfaces now; any thread.
    void sync();

private:
    struct Served {
        NodeRecord record;
        std::shared_ptr<HidrawNode> node;
    };

    void add(const hid::sim::PluggedInterface& interface);
    void remove(const Served& served);
    void send(const char* action, const DeviceEvent& event);

    FuseServer& m_files;
    SysfsTree& m_tree;
    UeventSender& m_events;
    NamespaceRunner& m_runner;

    std::mutex m_lock;                                       // everything below
    std::map<std::uint32_t, Served> m_served;                // by the interface's serial
    std::map<std::uint16_t, std::uint32_t> m_ports;          // a link's USB port, by product
    std::map<std::uint16_t, std::uint32_t> m_usbDevices;     // its address while plugged
    std::map<std::uint16_t, std::uint32_t> m_interfaceCount; // plugged interfaces per product
    std::uint32_t m_lastDeviceNumber = 1;                    // 1 is the root hub
    std::uint32_t m_lastHidNumber = 0;

    std::unique_ptr<hid::ChangeWatch> m_watch;
    platform::WorkerThread m_thread;
};

} // namespace devsim::hidraw
