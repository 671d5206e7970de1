#pragma once

// The behaviour every device object shares, without UI: its command channel and the holder
// of its listener links, who it is, where its files live, the key position maps, the light
// colours and records, and the lighting state. The device object (a UI control) holds one
// and forwards to it; halvekctl and the tests use it directly.
//
// The virtual operations are the only way pages reach a device. Each has the behaviour a
// device without that feature has; a device class overrides what its hardware does.
//
// Threads: everything on the owner's (UI) thread, except lights() and the light colour
// operations, which the lighting and synchronisation threads use too (each light is atomic).

#include "device/detect/supported_interfaces.h"
#include "device/model/light_colours.h"
#include "device/model/light_watch.h"
#include "device/model/report_listener.h"
#include "device/protocol/device_protocol.h"
#include "device/protocol/sequences.h"
#include "device/protocol/status.h"
#include "profile/key_function_code.h"
#include "profile/light_info.h"
#include "profile/light_presets.h"
#include "profile/profile_data.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace model {

// What a device object tells the control that shows it. UI thread only; every hook may
// be left as it is by a view that does not show that part.
class DeviceView {
public:
    virtual ~DeviceView() = default;
    // A light of the picture: colour packed red | blue << 8 | green << 16.
    virtual void showLight(std::size_t light, std::uint32_t pictureColour, std::uint8_t brightness)
    {
        (void)light, (void)pictureColour, (void)brightness;
    }
    // The key list or the macro names changed: the key labels are drawn again.
    virtual void keyLabelsChanged() {}
    // Show the device's settings on its pages again.
    virtual void refreshPages() {}
    // Whether the lighting page has a custom colour group selected.
    virtual bool isCustomGroupSelected() const { return false; }
    // The one hook called off the UI thread, by a listener: notices are waiting. Post a
    // message whose handler calls handleDeviceNotices(); never block or touch controls.
    // False when nothing was posted (the next notice tries again).
    virtual bool postDeviceNotices() { return false; }
    // The device asked to be read again: start the timer that calls SyncFromDevice. False
    // when the view has no such timer; the model then reads at once.
    virtual bool startSyncTimer() { return false; }
    // Called off the UI thread, once after the view armed lightWatch(): the light colours
    // changed. Post a message; never block or touch controls.
    virtual void lightsChanged() {}
};

// Whether this program or another one drives the lighting.
enum class LightingControl : int { OtherProgram = 0, Host = 1 };

// The function tab the picture shows at construction.
inline constexpr int kInitialFunctionTab = 1;
inline constexpr const wchar_t* kDataFolderName = L"SPhalvek2vizudi";
inline constexpr const wchar_t* kFactoryFolderName = L"DefaultData";
inline constexpr std::size_t kColumnLevelCount = 23;

// One key position map: position -> value, 255 where there is none.
using PositionMap = std::vector<std::uint8_t>;
inline constexpr std::uint8_t kUnmapped = 255;

class LiveFramePump;

class UsbDeviceModel {
public:
    UsbDeviceModel();
    virtual ~UsbDeviceModel();
    UsbDeviceModel(const UsbDeviceModel&) = delete;
    UsbDeviceModel& operator=(const UsbDeviceModel&) = delete;

    // Link state. The listener channel only holds the input links (wired, receiver) and
    // their locks; its open flag means the wired input link is open.
    CDeviceProtocol& channel() { return m_channel; }
    const CDeviceProtocol& channel() const { return m_channel; }
    CDeviceProtocol& listenerChannel() { return m_listenerChannel; }
    const protocol::InfoBlock& info() const { return m_info; }

    // Names.
    void setNames(std::wstring descriptionFile, std::wstring folderName,
                  std::wstring lightPresetName);
    const std::wstring& descriptionFile() const { return m_descriptionFile; }
    const std::wstring& folderName() const { return m_folderName; }
    const std::wstring& lightPresetName() const { return m_lightPresetName; }
    void setProfileBaseName(std::wstring name) { m_profileBaseName = std::move(name); }
    const std::wstring& profileBaseName() const { return m_profileBaseName; }

    // Identity.
    // Also sets the device type id and role from the row.
    void setIdentity(const detect::SupportedInterface& row);
    const detect::SupportedInterface& identity() const { return m_identity; }
    detect::DeviceTypeId typeId() const { return m_typeId; }
    detect::InterfaceRole role() const { return m_role; }
    // Each resizes its lists; a new light count also clears every light record and colour.
    // Negative counts are 0; light counts above the colour list are cut to it.
    void setKeyCount(int count);
    int keyCount() const { return m_keyCount; }
    void setLightCount(int count);
    int lightCount() const { return m_lightCount; }
    void setDeviceNumber(int number) { m_deviceNumber = number; }
    int deviceNumber() const { return m_deviceNumber; }
    int selectedProfile() const { return m_selectedProfile; }
    void setWireless(bool wireless) { m_wireless = wireless; }
    bool isWireless() const { return m_wireless; }
    // Only a wireless device can be paused.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }

    // Files. The data root defaults to the user's data folder + "SPhalvek2vizudi" and the
    // factory folder to the program folder + "DefaultData"; tests and halvekctl point them
    // elsewhere.
    void setDataRoot(std::filesystem::path root) { m_dataRoot = std::move(root); }
    void setFactoryFolder(std::filesystem::path folder) { m_factoryFolder = std::move(folder); }
    const std::filesystem::path& factoryFolder() const { return m_factoryFolder; }
    // The device's data folder, created when missing (a failure shows in later file work).
    std::filesystem::path dataFolder() const;
    // The factory profile: factory folder + folder name + ".Json".
    std::filesystem::path factoryProfilePath() const;
    // The wired link's firmware version while the channel is open, else 0.
    std::uint16_t firmwareVersion() const;

    // The three key position maps: position -> key slot, position -> LED, and the one the
    // pages set.
    const PositionMap& positionToSlot() const { return m_positionToSlot; }
    const PositionMap& positionToLed() const { return m_positionToLed; }
    const PositionMap& keyGroupMap() const { return m_keyGroupMap; }

    // The light colour list (the frame) and the per-light records.
    virtual LightColourList& lights() { return m_lights; }
    // Counts changes of lights(); the view sleeps on it while nothing moves.
    LightWatch& lightWatch() { return m_lightWatch; }
    const std::vector<profile::LightInfo>& lightRecords() const { return m_lightRecords; }
    std::vector<profile::LightInfo>& lightRecords() { return m_lightRecords; }

    // Lighting state.
    const profile::LightInfo& lightSettings() const { return m_lightSettings; }
    const profile::AudioLightInfo& audioParams() const { return m_audioParams; }
    const profile::LightPresets& presets() const { return m_presets; }
    LightingControl lightingControl() const { return m_lightingControl.load(); }
    // Becoming Host on a keyboard cable sends HostLighting; the result of that, else Ok.
    protocol::Status setLightingControl(LightingControl control);

    // The view the device tells about changes; null (the default) tells nobody. Once it
    // returns, no listener calls the previous view any more.
    void setView(DeviceView* view);

    // The listeners on the consumer interfaces, one per link; the kind (cable or receiver
    // type id) picks the link. Opening a link's listener closes its previous interface.
    bool openListener(const std::wstring& path, detect::DeviceTypeId kind);
    // True when its thread ended within the listener's stop bound (or none ran).
    bool closeListener(detect::DeviceTypeId kind);
    bool isListening(ListenerLink link) const;
    // UI thread: acts on what the listeners heard since the last call, while the command
    // channel is open (otherwise it is dropped). The number of notices taken.
    std::size_t handleDeviceNotices();

    // ---- The virtual operations, with the behaviour of a device that lacks the feature.

    // Applies the profile's lighting to the host-driven lighting. Ok when applied.
    virtual protocol::Status ShowLighting() { return protocol::Status::Ok; }
    // Every light colour 0.
    virtual void EffectOff();
    // Shows the light colours on the picture and hands them to the device (light index as
    // LED, index 170 skipped). Never waits for the device.
    virtual void SendLiveFrame();
    // A colour word red | green << 8 | blue << 16 | brightness << 24; outside the light
    // count nothing is stored and 0 is read.
    virtual void SetLightColour(std::size_t light, std::uint32_t word);
    virtual std::uint32_t GetLightColour(std::size_t light) const;

    // The device's channel has opened: read it, load the profile, start the lighting.
    // The first failure on the way, else Ok.
    virtual protocol::Status StartDevice() { return protocol::Status::Ok; }
    // The device asked to be read again.
    virtual void SyncFromDevice() {}
    virtual void RefreshPower() {}
    virtual bool IsReceiverLinkUp() { return false; }
    // 1 when a profile was loaded.
    virtual int LoadProfile() { return 0; }
    virtual void RefreshView() {}
    // The device switched its active slot itself; recordValue is byte 17 of the kept slot
    // record when the device sent one.
    virtual void SetActiveSlot(std::uint8_t slot, std::optional<std::uint8_t> recordValue)
    {
        (void)slot, (void)recordValue;
    }
    virtual void DropStaleMacroKeys() {}
    virtual void ReloadProfile() {}
    // The library indices of the macros that keys refer to, in position order.
    virtual std::vector<int> CollectMacros() { return {}; }
    virtual protocol::Status WriteKeyMap(int bank, const std::vector<profile::KeyAssignment>& keys)
    {
        (void)bank, (void)keys;
        return protocol::Status::NoReply;
    }
    virtual protocol::Status WriteProfileKeyMap(int bank)
    {
        (void)bank;
        return protocol::Status::NoReply;
    }
    // The macro block for these library indices; see MacroWrite.
    virtual protocol::MacroWrite WriteMacros(const std::vector<int>& macros)
    {
        (void)macros;
        return {};
    }
    virtual protocol::Status WriteSlotRecord(int slot, int active)
    {
        (void)slot, (void)active;
        return protocol::Status::NoReply;
    }
    virtual void LoadLightPresets() {}
    // The device's custom colour group from the profile; Ok and nothing sent on a device
    // without one (see hasCustomColours).
    virtual protocol::Status WriteCustomColourGroup() { return protocol::Status::Ok; }
    virtual bool hasCustomColours() const { return false; }
    // The full read of what the device holds about itself (keyboard: key layout, LED map).
    virtual protocol::Status ReadDevice() { return protocol::Status::Ok; }
    // Reads the device's active settings into the profile and saves it; nothing changes
    // unless the read succeeds.
    virtual protocol::Status ReadDeviceState() { return protocol::Status::Ok; }
    // The device's profile record; null for a device without one.
    virtual profile::CBasicProfiledata* profileRecord() { return nullptr; }
    // Starts (or restarts) the device's host-driven lighting.
    virtual void StartLighting() {}
    virtual void StopLighting() {}
    // Replaces the third key position map.
    virtual void SetKeyGroupMap(std::span<const std::uint8_t> map);

    // Effect helpers of the devices with few lights (one fading intensity per light and a
    // 23-column level ring).
    virtual void FadeStep(std::size_t light, int mode);
    virtual void MarkPressedLights();
    virtual void RotateRing(int direction);
    virtual void ClearIntensities();

    virtual void SetFunctionTab(int type) { m_functionTab = type; }
    virtual int GetFunctionTab() const { return m_functionTab; }
    // Points the profile record at this device's profile, preset and factory files.
    virtual void SetProfilePaths();
    virtual std::filesystem::path GetProfilePath() const { return {}; }
    // Saves the profile. 0 when written (or nothing to write).
    virtual int CommitProfile() { return 0; }
    virtual void SetKind(int kind) { m_kind = kind; }
    virtual int GetKind() const { return m_kind; }
    virtual void SetLightSettings(const profile::LightInfoWords& words);
    virtual profile::LightInfo GetLightSettings() const { return m_lightSettings; }
    virtual void SetAudioParams(const profile::AudioLightWords& words);
    virtual profile::AudioLightWords GetAudioParams() const;
    virtual void SelectProfile(int index) { m_selectedProfile = index; }
    virtual void SetAudioSpectrum(std::span<const std::int32_t> values) { (void)values; }
    virtual void SetExternalColour(std::span<const std::int32_t> values) { (void)values; }

    // Request frames the device's operations have issued, for reports and benchmarks.
    std::uint64_t requestFrames() const { return m_channel.framesSent(); }

    // Effect state of the few-light devices, readable for their steps and tests.
    std::uint8_t intensity(std::size_t light) const;
    void setIntensity(std::size_t light, std::uint8_t value);
    const std::array<std::uint8_t, kColumnLevelCount>& columnLevels() const
    {
        return m_columnLevels;
    }
    std::array<std::uint8_t, kColumnLevelCount>& columnLevels() { return m_columnLevels; }

protected:
    DeviceView& view();
    void setPositionMaps(PositionMap toSlot, PositionMap toLed);
    void setLightSettingsRecord(const profile::LightInfo& info) { m_lightSettings = info; }
    void setAudioParamsRecord(const profile::AudioLightInfo& info) { m_audioParams = info; }
    profile::LightPresets& mutablePresets() { return m_presets; }
    protocol::InfoBlock& mutableInfo() { return m_info; }

private:
    CDeviceProtocol m_channel;
    CDeviceProtocol m_listenerChannel;
    protocol::InfoBlock m_info{};

    std::wstring m_descriptionFile;
    std::wstring m_folderName;
    std::wstring m_profileBaseName;
    std::wstring m_lightPresetName = L"novik_light";

    detect::SupportedInterface m_identity;
    detect::DeviceTypeId m_typeId = detect::DeviceTypeId::KeyboardCable;
    detect::InterfaceRole m_role = detect::InterfaceRole::Command;
    int m_keyCount = 0;
    int m_lightCount = 0;
    int m_deviceNumber = -1;
    int m_selectedProfile = -1;
    int m_functionTab = kInitialFunctionTab;
    int m_kind = 0;
    bool m_wireless = false;
    bool m_paused = false;

    std::filesystem::path m_dataRoot;
    std::filesystem::path m_factoryFolder;

    PositionMap m_positionToSlot;
    PositionMap m_positionToLed;
    PositionMap m_keyGroupMap;

    LightColourList m_lights;
    std::vector<profile::LightInfo> m_lightRecords;
    std::vector<std::uint8_t> m_intensities;
    std::array<std::uint8_t, kColumnLevelCount> m_columnLevels{};

    profile::LightInfo m_lightSettings{};
    profile::AudioLightInfo m_audioParams{};
    std::atomic<LightingControl> m_lightingControl{LightingControl::Host};
    LightWatch m_lightWatch;
    profile::LightPresets m_presets;

    DeviceView* m_view = nullptr;

    // What the listeners heard, for the UI thread, and the view they post through. Shared
    // with the listeners' sink, so that a listener thread late to end never uses the model.
    struct NoticeQueue;
    std::shared_ptr<NoticeQueue> m_notices;
    // After the queue they fill; closed first in the destructor.
    std::unique_ptr<ReportListener> m_cableListener;
    std::unique_ptr<ReportListener> m_receiverListener;

    // Carries the live frames of SendLiveFrame; made on first use. Last, so that it stops
    // before the channel it sends through goes.
    std::unique_ptr<LiveFramePump> m_framePump;
};

} // namespace model
