#include "devsim/hidraw/sysfs_tree.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace devsim::hidraw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHostController = "/devices/halvek_hcd.0/usb1";
constexpr std::uint32_t kHidrawMajor = 243;
constexpr std::uint32_t kUsbMajor = 189;

std::string hex(unsigned value, int digits, bool upper = false)
{
    char text[16];
    std::snprintf(text, sizeof text, upper ? "%0*X" : "%0*x", digits, value);
    return text;
}

std::string usbDevicePath(const NodeRecord& r)
{
    return std::string(kHostController) + "/1-" + std::to_string(r.port);
}

std::string interfacePath(const NodeRecord& r)
{
    return usbDevicePath(r) + "/1-" + std::to_string(r.port) + ":1." +
           std::to_string(r.interfaceNumber);
}

std::string hidName(const NodeRecord& r)
{
    return "0003:" + hex(r.vendorId, 4, true) + ":" + hex(r.productId, 4, true) + "." +
           hex(r.hidNumber, 4, true);
}

std::string hidPath(const NodeRecord& r)
{
    return interfacePath(r) + "/" + hidName(r);
}

std::string nodePath(const NodeRecord& r)
{
    return hidPath(r) + "/hidraw/" + r.nodeName();
}

std::string usbProduct(const NodeRecord& r)
{
    return hex(r.vendorId, 1) + "/" + hex(r.productId, 1) + "/" + hex(r.version, 1);
}

bool writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    return bool(file.flush());
}

std::string lines(const std::vector<std::string>& properties)
{
    std::string text;
    for (const auto& line : properties)
        text += line + "\n";
    return text;
}

// A device folder: its uevent file, its subsystem link and its attributes.
bool writeDevice(const fs::path& sysfs, const DeviceEvent& device, const std::string& subsystemLink,
                 const std::vector<std::pair<std::string, std::string>>& attributes)
{
    const fs::path folder = sysfs / device.devpath.substr(1);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        return false;
    // libudev names the subsystem by the link's last component; the target need not exist.
    fs::create_symlink(subsystemLink, folder / "subsystem", error);
    if (error && error != std::errc::file_exists)
        return false;
    bool written = writeFile(folder / "uevent", lines(device.properties));
    for (const auto& [name, value] : attributes)
        written = written && writeFile(folder / name, value);
    return written;
}

// "../" once per folder between the device and the root of sysfs.
std::string toSysfsRoot(const std::string& devpath)
{
    std::string up;
    for (const char c : devpath)
        if (c == '/')
            up += "../";
    return up;
}

DeviceEvent usbDeviceEvent(const NodeRecord& r)
{
    return {usbDevicePath(r),
            "usb",
            {"MAJOR=" + std::to_string(kUsbMajor), "MINOR=" + std::to_string(r.deviceNumber - 1),
             "DEVNAME=bus/usb/001/" + hex(r.deviceNumber, 3), "DEVTYPE=usb_device", "DRIVER=usb",
             "PRODUCT=" + usbProduct(r), "TYPE=0/0/0", "BUSNUM=001",
             "DEVNUM=" + hex(r.deviceNumber, 3)}};
}

std::vector<DeviceEvent> nodeEvents(const NodeRecord& r)
{
    const std::string interface = std::to_string(r.interfaceNumber);
    return {
        {interfacePath(r),
         "usb",
         {"DEVTYPE=usb_interface", "DRIVER=usbhid", "PRODUCT=" + usbProduct(r), "TYPE=0/0/0",
          "INTERFACE=3/" + std::string(r.interfaceNumber == 0 ? "1/1" : "0/0"),
          "MODALIAS=usb:v" + hex(r.vendorId, 4, true) + "p" + hex(r.productId, 4, true) + "d" +
              hex(r.version, 4, true) + "dc00dsc00dp00ic03isc00ip00in" +
              hex(r.interfaceNumber, 2, true)}},
        {hidPath(r),
         "hid",
         {"DRIVER=hid-generic",
          "HID_ID=0003:" + hex(r.vendorId, 8, true) + ":" + hex(r.productId, 8, true),
          "HID_NAME=" + r.productName, "HID_PHYS=" + r.physicalPath(), "HID_UNIQ=",
          "MODALIAS=hid:b0003g0001v" + hex(r.vendorId, 8, true) + "p" + hex(r.productId, 8, true)}},
        {nodePath(r),
         "hidraw",
         {"MAJOR=" + std::to_string(kHidrawMajor), "MINOR=" + std::to_string(r.minor),
          "DEVNAME=" + r.nodeName()}},
    };
}

} // namespace

std::string NodeRecord::physicalPath() const
{
    return "usb-halvek_hcd.0-" + std::to_string(port) + "/input" + std::to_string(interfaceNumber);
}

SysfsTree::SysfsTree(std::filesystem::path sysfs) : m_sysfs(std::move(sysfs)) {}

fs::path SysfsTree::devicesRoot() const
{
    return m_sysfs / fs::path(kHostController).relative_path().parent_path();
}

fs::path SysfsTree::classFolder() const
{
    return m_sysfs / "class" / "hidraw";
}

bool SysfsTree::addUsbDevice(const NodeRecord& r, DeviceEvent& event)
{
    event = usbDeviceEvent(r);
    return writeDevice(m_sysfs, event, toSysfsRoot(event.devpath) + "bus/usb",
                       {{"idVendor", hex(r.vendorId, 4) + "\n"},
                        {"idProduct", hex(r.productId, 4) + "\n"},
                        {"bcdDevice", hex(r.version, 4) + "\n"},
                        {"manufacturer", "Halvek\n"},
                        {"product", r.productName + "\n"},
                        {"busnum", "1\n"},
                        {"devnum", std::to_string(r.deviceNumber) + "\n"},
                        {"speed", "12\n"}});
}

bool SysfsTree::addNode(const NodeRecord& r, std::vector<DeviceEvent>& events)
{
    events = nodeEvents(r);
    const auto& interface = events[0];
    const auto& hid = events[1];
    const auto& node = events[2];
    bool written = writeDevice(m_sysfs, interface, toSysfsRoot(interface.devpath) + "bus/usb",
                               {{"bInterfaceNumber", hex(r.interfaceNumber, 2) + "\n"},
                                {"bInterfaceClass", "03\n"},
                                {"bInterfaceSubClass", r.interfaceNumber == 0 ? "01\n" : "00\n"},
                                {"bInterfaceProtocol", r.interfaceNumber == 0 ? "01\n" : "00\n"}});
    written = written && writeDevice(m_sysfs, hid, toSysfsRoot(hid.devpath) + "bus/hid", {});
    written = written && writeFile(m_sysfs / hid.devpath.substr(1) / "report_descriptor",
                                   std::string(r.descriptor.begin(), r.descriptor.end()));
    written =
        written &&
        writeDevice(m_sysfs, node, toSysfsRoot(node.devpath) + "class/hidraw",
                    {{"dev", std::to_string(kHidrawMajor) + ":" + std::to_string(r.minor) + "\n"}});
    std::error_code error;
    const fs::path nodeFolder = m_sysfs / node.devpath.substr(1);
    fs::create_symlink("../../../" + hidName(r), nodeFolder / "device", error);
    written = written && !error;
    fs::create_directories(classFolder(), error);
    fs::create_symlink("../.." + node.devpath, classFolder() / r.nodeName(), error);
    return written && !error;
}

std::vector<DeviceEvent> SysfsTree::removeNode(const NodeRecord& r)
{
    auto events = nodeEvents(r);
    std::error_code error;
    fs::remove(classFolder() / r.nodeName(), error);
    fs::remove_all(m_sysfs / interfacePath(r).substr(1), error);
    return {events.rbegin(), events.rend()};
}

DeviceEvent SysfsTree::removeUsbDevice(const NodeRecord& r)
{
    std::error_code error;
    fs::remove_all(m_sysfs / usbDevicePath(r).substr(1), error);
    return usbDeviceEvent(r);
}

} // namespace devsim::hidraw
