#pragma once

#include "device/model/linked_model.h"
#include "shell/shell_device.h"

class CTessaryUSBDevice;

namespace app {

// The shell's view of a device object: forwards to the control and its model.
class UsbDeviceShell final : public shell::ShellDevice {
public:
    explicit UsbDeviceShell(CTessaryUSBDevice& device);

    CControlUI* page() override;
    detect::LinkedDevice& link() override { return m_link; }
    void setUp(const shell::DeviceSetup& setup, CPaintManagerUI& manager,
               CMpDevicePowerUI* powerTile) override;
    void setTile(CDeviceOptionUI* tile) override;
    void BuildPicture() override;
    detect::DeviceTypeId typeId() const override;
    int deviceNumber() const override;
    bool isWireless() const override;
    bool isOnline() const override;
    bool isReceiverMode() const override;
    std::uint32_t firmwareVersion() const override;
    bool takeRedraw() override { return false; }
    std::uint64_t lightChanges() override;
    bool watchLights(std::uint64_t seen) override;
    void SendLiveFrame() override;
    void StartDevice() override;
    void ReapplyProfile() override;
    void SyncFromDevice() override;
    void RefreshPower() override;
    bool IsReceiverLinkUp() override;
    void setPaused(bool paused) override;
    void setWindowActive(bool) override {}
    void setLightingControl(bool control) override;
    // With more than one device the lighting page offers the same-lighting button.
    void setMultiDevice(bool multi) override;
    void rebuildKeyLabels() override;
    void SetFunctionTab(int tab) override;
    void SetExternalColour(std::span<const std::int32_t> values) override;

    shell::Pending pending() const override;
    shell::Pending saveAndWrite() override;
    std::wstring_view pendingReason() const override;
    void discardPending() override;

    CTessaryUSBDevice& device() { return m_device; }

private:
    CTessaryUSBDevice& m_device;
    model::LinkedModel m_link;
};

} // namespace app
