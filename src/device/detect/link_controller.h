#pragma once

// The arrival, removal and link-switch steps, run on the UI thread when the watcher reports
// an interface. The decisions are link_steps'; this carries them out on the devices' command
// channels and tells the host (the main window, or halvekctl's driver) what to show.

#include "device/detect/interface_table.h"
#include "device/detect/link_steps.h"

#include <optional>
#include <vector>

class CDeviceProtocol;

namespace detect {

// A device as the steps see it: its channel and the row it answers for.
class LinkedDevice {
public:
    virtual ~LinkedDevice() = default;
    virtual CDeviceProtocol& channel() = 0;
    virtual const SupportedInterface& identity() const = 0;
    virtual void setIdentity(const SupportedInterface& row) = 0;
    virtual bool isWireless() const = 0;
    // The listener on a consumer interface; kind is the arriving row's device type.
    virtual void openListener(const std::wstring& path, DeviceTypeId kind) = 0;
    virtual void closeListener(DeviceTypeId kind) = 0;
    // Read the device's state again after a link change.
    virtual void reReadState() = 0;
};

// What the program around the steps does: owns device objects, shows tiles, runs timers.
class LinkHost {
public:
    virtual ~LinkHost() = default;
    virtual std::vector<LinkedDevice*> devices() = 0;
    // Creates the device object for the row's kind when there is none yet.
    virtual void ensureDevice(std::size_t row) = 0;
    virtual void channelOpened(LinkedDevice& device, bool onCable) = 0;
    virtual void channelClosed(LinkedDevice& device) = 0;
    virtual void switchedLink(LinkedDevice& device, bool toReceiver) = 0;
    virtual void bringForward() = 0;
};

class LinkController {
public:
    LinkController(InterfaceTable& table, LinkHost& host);

    void arrival(std::size_t row);
    void removal(std::size_t row);
    void linkSwitch(std::size_t row);

private:
    // The device whose identity is this row; nullptr (with a debug line) when there is none.
    LinkedDevice* findDevice(const SupportedInterface& row, std::wstring_view step);
    LinkedDevice* findDeviceForListener(const SupportedInterface& row);
    void openChannel(const std::vector<SupportedInterface>& rows, std::size_t row);

    InterfaceTable& m_table;
    LinkHost& m_host;
};

} // namespace detect
