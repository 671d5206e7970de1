#pragma once

// A device model as the detection steps see it: they open and switch its channel and set
// its identity, open and close its listeners, and have it re-read its state after a link
// change.

#include "device/detect/link_controller.h"
#include "device/model/usb_device_model.h"

namespace model {

class LinkedModel : public detect::LinkedDevice {
public:
    explicit LinkedModel(UsbDeviceModel& device) : m_device(device) {}

    UsbDeviceModel& device() { return m_device; }

    CDeviceProtocol& channel() override { return m_device.channel(); }
    const detect::SupportedInterface& identity() const override { return m_device.identity(); }
    void setIdentity(const detect::SupportedInterface& row) override { m_device.setIdentity(row); }
    bool isWireless() const override { return m_device.isWireless(); }
    void openListener(const std::wstring& path, detect::DeviceTypeId kind) override
    {
        (void)m_device.openListener(path, kind);
    }
    void closeListener(detect::DeviceTypeId kind) override { (void)m_device.closeListener(kind); }
    void reReadState() override { m_device.SyncFromDevice(); }

private:
    UsbDeviceModel& m_device;
};

} // namespace model
