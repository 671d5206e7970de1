#pragma once

#include "app/shell_device.h"
#include "device/protocol/device_protocol.h"
#include "ui/container_ui.h"

#include <string>

namespace app {

// A device object that owns its command channel and shows its picture, without the
// family's own behaviour: the shell's stand-in for device classes not built yet. Links
// open, switch and close as for any device; starting it only marks it started.
class BasicDeviceUI : public CHorizontalLayoutUI, public ShellDevice, public detect::LinkedDevice {
public:
    explicit BasicDeviceUI(std::wstring className) : m_className(std::move(className)) {}

    const wchar_t* GetClass() const override { return m_className.c_str(); }

    // ShellDevice
    CControlUI* page() override { return this; }
    detect::LinkedDevice& link() override { return *this; }
    void setUp(const DeviceSetup& setup, CPaintManagerUI& manager,
               CMpDevicePowerUI* powerTile) override;
    void setTile(CDeviceOptionUI* tile) override { m_tile = tile; }
    void BuildPicture() override;
    detect::DeviceTypeId typeId() const override { return m_identity.typeId; }
    int deviceNumber() const override { return m_setup.deviceNumber; }
    bool isWireless() const override { return m_setup.wireless; }
    bool isOnline() const override { return m_channel.isOpen(); }
    bool isReceiverMode() const override { return m_channel.isReceiverMode(); }
    bool takeRedraw() override { return false; }
    void SendLiveFrame() override {}
    void StartDevice() override { m_started = true; }
    void SyncFromDevice() override {}
    void RefreshPower() override {}
    bool IsReceiverLinkUp() override { return m_channel.isOpen(); }
    void setPaused(bool paused) override { m_paused = paused && m_setup.wireless; }
    void setWindowActive(bool) override {}
    void setLightingControl(bool) override {}
    void setMultiDevice(bool) override {}
    void rebuildKeyLabels() override {}
    void SetFunctionTab(int tab) override { m_functionTab = tab; }
    void SetExternalColour(std::span<const std::int32_t>) override {}

    // detect::LinkedDevice
    CDeviceProtocol& channel() override { return m_channel; }
    const detect::SupportedInterface& identity() const override { return m_identity; }
    void setIdentity(const detect::SupportedInterface& row) override { m_identity = row; }
    void openListener(const std::wstring&, detect::DeviceTypeId) override {}
    void closeListener(detect::DeviceTypeId) override {}
    void reReadState() override {}

    bool isStarted() const { return m_started; }
    bool isPaused() const { return m_paused; }
    int functionTab() const { return m_functionTab; }
    int keyButtonCount() const { return m_keyButtons; }

private:
    std::wstring m_className;
    DeviceSetup m_setup;
    detect::SupportedInterface m_identity;
    CDeviceProtocol m_channel;
    CDeviceOptionUI* m_tile = nullptr;
    CMpDevicePowerUI* m_powerTile = nullptr;
    bool m_started = false;
    bool m_paused = false;
    int m_functionTab = 1;
    int m_keyButtons = 0;
};

} // namespace app
