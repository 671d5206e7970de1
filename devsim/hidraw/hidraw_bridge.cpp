#include "devsim/hidraw/hidraw_bridge.h"

#include "device/usb_ids.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace devsim::hidraw {
namespace {

constexpr std::chrono::milliseconds kStopWait{2000};

std::string productName(std::uint16_t productId)
{
    switch (productId) {
    case usb::kKeyboardCableProductId:
        return "Halvek Keyboard";
    case usb::kKeyboardReceiverProductId:
        return "Halvek 2.4G Receiver";
    case usb::kMouseCableProductId:
        return "Halvek Mouse";
    case usb::kMouseReceiverProductId:
        return "Halvek Mouse 2.4G Receiver";
    }
    return "Halvek Device";
}

void warn(const std::string& what)
{
    std::fprintf(stderr, "halvek-devsim: %s\n", what.c_str());
}

} // namespace

HidrawBridge::HidrawBridge(FuseServer& files, SysfsTree& tree, UeventSender& events,
                           NamespaceRunner& runner)
    : m_files(files), m_tree(tree), m_events(events), m_runner(runner)
{
}

HidrawBridge::~HidrawBridge()
{
    stop();
}

bool HidrawBridge::start()
{
    m_watch = std::make_unique<hid::ChangeWatch>();
    return m_thread.start("hidraw bridge", [this](platform::Event& stop) {
        for (;;) {
            const auto woken =
                platform::Event::waitForAny({&stop, &m_watch->event()}, std::chrono::hours(24));
            if (woken == 0u)
                return;
            if (woken == 1u)
                sync();
        }
    });
}

void HidrawBridge::stop()
{
    if (!m_thread.stop(kStopWait))
        warn("the hidraw bridge did not stop in time");
    std::lock_guard guard(m_lock);
    for (const auto& [serial, served] : m_served)
        remove(served);
    m_served.clear();
}

void HidrawBridge::sync()
{
    std::lock_guard guard(m_lock);
    const auto plugged = hid::sim::pluggedInterfaces();
    // Gone ones first, so a replugged interface gets its old node number back.
    for (auto it = m_served.begin(); it != m_served.end();) {
        const bool stillPlugged =
            std::any_of(plugged.begin(), plugged.end(),
                        [&](const auto& interface) { return interface.serial == it->first; });
        if (stillPlugged) {
            ++it;
        } else {
            remove(it->second);
            it = m_served.erase(it);
        }
    }
    for (const auto& interface : plugged) {
        if (!m_served.contains(interface.serial))
            add(interface);
    }
}

void HidrawBridge::add(const hid::sim::PluggedInterface& interface)
{
    const auto& identity = interface.identity;
    NodeRecord record;
    record.vendorId = identity.vendorId;
    record.productId = identity.productId;
    record.version = identity.version;
    record.productName = productName(identity.productId);
    record.interfaceNumber = identity.interfaceNumber.value_or(0);
    record.descriptor = interface.descriptor;
    if (!m_ports.contains(identity.productId))
        m_ports[identity.productId] = static_cast<std::uint32_t>(m_ports.size() + 1);
    record.port = m_ports[identity.productId];
    std::set<std::uint32_t> minors;
    for (const auto& [serial, served] : m_served)
        minors.insert(served.record.minor);
    while (minors.contains(record.minor))
        ++record.minor;
    record.hidNumber = ++m_lastHidNumber;

    if (m_interfaceCount[identity.productId]++ == 0) {
        m_usbDevices[identity.productId] = ++m_lastDeviceNumber;
        record.deviceNumber = m_lastDeviceNumber;
        DeviceEvent event;
        if (!m_tree.addUsbDevice(record, event))
            warn("the sysfs record of USB device 1-" + std::to_string(record.port) +
                 " is incomplete");
        send("add", event);
    }
    record.deviceNumber = m_usbDevices[identity.productId];

    auto node = std::make_shared<HidrawNode>(record.nodeName(), interface, record.productName,
                                             record.physicalPath());
    m_files.add(node);
    const std::string devNode = "/dev/" + record.nodeName();
    if (const auto bound = m_runner.bindNode(m_runner.nodeFolder() / record.nodeName(), devNode);
        !bound)
        warn(bound.error().message);
    std::vector<DeviceEvent> events;
    if (!m_tree.addNode(record, events))
        warn("the sysfs record of " + record.nodeName() + " is incomplete");
    for (const auto& event : events)
        send("add", event);
    m_served[interface.serial] = {std::move(record), std::move(node)};
}

void HidrawBridge::remove(const Served& served)
{
    const auto& record = served.record;
    // Open files see the unplug before the node vanishes, as with a pulled cable.
    served.node->markGone();
    m_runner.unbindNode("/dev/" + record.nodeName());
    m_files.remove(record.nodeName());
    for (const auto& event : m_tree.removeNode(record))
        send("remove", event);
    if (--m_interfaceCount[record.productId] == 0)
        send("remove", m_tree.removeUsbDevice(record));
}

void HidrawBridge::send(const char* action, const DeviceEvent& event)
{
    if (const auto sent = m_events.send(action, event); !sent)
        warn(sent.error().message);
}

} // namespace devsim::hidraw
