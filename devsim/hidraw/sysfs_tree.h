#pragma once

// The sysfs records of the emulated USB devices, as the kernel keeps them for a real one:
// the USB device, its interface, the HID device with its report descriptor and the hidraw
// node, each with the uevent file and subsystem link libudev reads, and the node's entry in
// class/hidraw. Written into tmpfs mounted over the real folders in a private namespace.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace devsim::hidraw {

// One hidraw node and the devices above it.
struct NodeRecord {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
    std::string productName;
    std::uint32_t port = 1;         // the USB device is 1-<port>
    std::uint32_t deviceNumber = 1; // its USB address
    std::uint32_t interfaceNumber = 0;
    std::uint32_t hidNumber = 1; // the HID device is 0003:VVVV:PPPP.<hidNumber>
    std::uint32_t minor = 0;     // hidraw<minor>
    std::vector<std::uint8_t> descriptor;

    std::string nodeName() const { return "hidraw" + std::to_string(minor); }
    // HID_PHYS: where the kernel says the interface sits.
    std::string physicalPath() const;
};

// One device as its add or remove event names it.
struct DeviceEvent {
    std::string devpath; // below /sys: "/devices/..."
    std::string subsystem;
    std::vector<std::string> properties; // the uevent file's "KEY=value" lines
};

class SysfsTree {
public:
    explicit SysfsTree(std::filesystem::path sysfs = "/sys");

    // Writes the USB device of the record (once per port); its add event.
    [[nodiscard]] bool addUsbDevice(const NodeRecord& record, DeviceEvent& event);
    // Writes the interface, HID device and hidraw node; their add events, outermost first.
    [[nodiscard]] bool addNode(const NodeRecord& record, std::vector<DeviceEvent>& events);
    // Removes what addNode wrote; the remove events, innermost first.
    std::vector<DeviceEvent> removeNode(const NodeRecord& record);
    DeviceEvent removeUsbDevice(const NodeRecord& record);

    std::filesystem::path devicesRoot() const;
    std::filesystem::path classFolder() const;

private:
    std::filesystem::path m_sysfs;
};

} // namespace devsim::hidraw
