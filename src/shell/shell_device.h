#pragma once

// What the main window asks of a device object. Device objects are UI controls (their page
// is the device's picture); the window reaches each through this interface, so the shell
// does not depend on how a device family is built.

#include "device/detect/link_controller.h"
#include "device/detect/supported_interfaces.h"
#include "platform/window_messages.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CControlUI;
class CPaintManagerUI;
class CDeviceOptionUI;
class CMpDevicePowerUI;
class INotifyUI;

namespace shell {

// Edits of a device's shown profile that are not yet in its file or on the device.
enum class Pending { None, Unwritten, Unsaved };

// The values the window hands a new device object, from the device tables.
struct DeviceSetup {
    std::wstring descriptionFile;
    std::wstring folderName; // the type word: "keyboard", "mouse", ...
    std::wstring lightPresetName;
    int keyCount = 0;
    int lightCount = 0;
    int deviceNumber = -1;
    bool wireless = false;
    int mouseExtra = -1; // the description row's fourth value, for the mouse only
    detect::DeviceKind kind = detect::DeviceKind::Keyboard;
    detect::SupportedInterface identity;
    HWND notifyWindow = nullptr;
};

class ShellDevice {
public:
    virtual ~ShellDevice() = default;

    // The control that is the device's page in "device_switch".
    virtual CControlUI* page() = 0;
    virtual detect::LinkedDevice& link() = 0;

    virtual void setUp(const DeviceSetup& setup, CPaintManagerUI& manager,
                       CMpDevicePowerUI* powerTile) = 0;
    virtual void setTile(CDeviceOptionUI* tile) = 0;
    virtual void BuildPicture() = 0;

    virtual detect::DeviceTypeId typeId() const = 0;
    virtual int deviceNumber() const = 0;
    virtual bool isWireless() const = 0;
    // The command channel is open: the device answers.
    virtual bool isOnline() const = 0;
    virtual bool isReceiverMode() const = 0;
    // The firmware version the device reported while it is online, else 0.
    virtual std::uint32_t firmwareVersion() const { return 0; }
    // True once after the device changed its picture's colours.
    virtual bool takeRedraw() = 0;
    // How often the light colours have changed; the tile's live-frame timer sleeps while
    // this stands still.
    virtual std::uint64_t lightChanges() = 0;
    // Asks the device to wake the tile (CDeviceOptionUI::resumeLiveFrames, on the UI thread)
    // at the first change after `seen`. False when it changed already and no wake comes.
    virtual bool watchLights(std::uint64_t seen) = 0;

    // Tile timer work (UI thread).
    virtual void SendLiveFrame() = 0;
    virtual void StartDevice() = 0;
    // Writes the selected profile again, as on arrival (after a resume from suspend).
    virtual void ReapplyProfile() = 0;
    virtual void SyncFromDevice() = 0;
    virtual void RefreshPower() = 0;
    virtual bool IsReceiverLinkUp() = 0;

    // Window-wide states passed on to every device.
    virtual void setPaused(bool paused) = 0;
    virtual void setWindowActive(bool active) = 0;
    virtual void setLightingControl(bool control) = 0;
    virtual void setMultiDevice(bool multi) = 0;
    virtual void rebuildKeyLabels() = 0;
    virtual void SetFunctionTab(int tab) = 0;
    // The external colour of the game lighting mode (six values).
    virtual void SetExternalColour(std::span<const std::int32_t> values) = 0;

    virtual Pending pending() const { return Pending::None; }
    // Saves the profile and writes what is pending; what is pending afterwards.
    virtual Pending saveAndWrite() { return Pending::None; }
    // The language text id saying why the last write or save fell short; empty when none did.
    virtual std::wstring_view pendingReason() const { return {}; }
    // Drops the pending edits: the profile is read again from its file.
    virtual void discardPending() {}
};

} // namespace shell
