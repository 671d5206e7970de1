#pragma once

// The operations the pages reach a device through, on the device core. Each family
// (keyboard, mouse, light-only) declares its capabilities and overrides what its hardware
// does; an operation outside a family's capabilities answers NotSupported (or, where there
// is nothing to answer, does nothing), never success. Beside them: the light colours and
// records, the lighting state and the key position maps every family keeps. The device
// object (a UI control) holds one and forwards to it; halvekctl and the tests use it
// directly. A UsbDeviceModel itself is a device with no capabilities.
//
// Threads: everything on the owner's (UI) thread, except lights() and the light colour
// operations, which the lighting and synchronisation threads use too (each light is atomic).

#include "device/model/capabilities.h"
#include "device/model/device_core.h"
#include "device/model/light_colours.h"
#include "device/model/light_watch.h"
#include "device/model/profile_result.h"
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

// Whether this program or another one drives the lighting.
enum class LightingControl : int { OtherProgram = 0, Host = 1 };

// The function tab the picture shows at construction.
inline constexpr int kInitialFunctionTab = 1;
inline constexpr std::size_t kColumnLevelCount = 23;

// One key position map: position -> value, 255 where there is none.
using PositionMap = std::vector<std::uint8_t>;
inline constexpr std::uint8_t kUnmapped = 255;

class LiveFramePump;

class UsbDeviceModel : public DeviceCore {
public:
    UsbDeviceModel();
    ~UsbDeviceModel() override;

    // What this family can do; the pages ask before they offer a control or send a block.
    virtual Capabilities capabilities() const { return {}; }
    bool has(Capability capability) const { return capabilities().has(capability); }

    // A new light count resizes the light lists and clears every light record and colour.
    // Negative counts are 0; counts above the colour list are cut to it.
    void setLightCount(int count);
    int lightCount() const { return m_lightCount; }

    // The three key position maps: position -> key slot, position -> LED, and the one the
    // pages set.
    const PositionMap& positionToSlot() const { return m_positionToSlot; }
    const PositionMap& positionToLed() const { return m_positionToLed; }
    const PositionMap& keyGroupMap() const { return m_keyGroupMap; }
    // Replaces the third key position map.
    void SetKeyGroupMap(std::span<const std::uint8_t> map);

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

    void setView(DeviceView* view) override;
    // UI thread: acts on what the listeners heard since the last call, while the command
    // channel is open (otherwise it is dropped). The number of notices taken.
    std::size_t handleDeviceNotices();

    void SetFunctionTab(int type) { m_functionTab = type; }
    int GetFunctionTab() const { return m_functionTab; }

    // ---- The operations. Those answering a Status answer NotSupported outside the
    // family's capabilities.

    // Applies the profile's lighting to the host-driven lighting. Ok when applied.
    virtual protocol::Status ShowLighting() { return protocol::Status::NotSupported; }
    // Every light colour 0.
    virtual void EffectOff();
    // Shows the light colours on the picture and hands them to the device (light index as
    // LED, index 170 skipped). Never waits for the device.
    virtual void SendLiveFrame();
    // A colour word red | green << 8 | blue << 16 | brightness << 24; outside the light
    // count nothing is stored and 0 is read.
    virtual void SetLightColour(std::size_t light, std::uint32_t word);
    std::uint32_t GetLightColour(std::size_t light) const;

    // The device's channel has opened: read it, load the profile, start the lighting.
    // The first failure on the way, else Ok.
    virtual protocol::Status StartDevice() { return protocol::Status::NotSupported; }
    // The device asked to be read again.
    virtual void SyncFromDevice() {}
    virtual void RefreshPower() {}
    virtual bool IsReceiverLinkUp() { return false; }
    // Loads the selected profile into the device's profile record.
    virtual ProfileResult LoadProfile() { return ProfileResult::NotSupported; }
    virtual void RefreshView() {}
    // The device switched its active slot itself; recordValue is byte 17 of the kept slot
    // record when the device sent one.
    virtual void SetActiveSlot(std::uint8_t slot, std::optional<std::uint8_t> recordValue)
    {
        (void)slot, (void)recordValue;
    }
    virtual void DropStaleMacroKeys() {}
    // The factory profile under the selected profile's name, saved; what the save did.
    virtual ProfileResult ReloadProfile() { return ProfileResult::NotSupported; }
    // The library indices of the macros that keys refer to, in position order.
    virtual std::vector<int> CollectMacros() { return {}; }
    virtual protocol::Status WriteKeyMap(int bank, const std::vector<profile::KeyAssignment>& keys)
    {
        (void)bank, (void)keys;
        return protocol::Status::NotSupported;
    }
    virtual protocol::Status WriteProfileKeyMap(int bank)
    {
        (void)bank;
        return protocol::Status::NotSupported;
    }
    // The macro block for these library indices; see MacroWrite.
    virtual protocol::MacroWrite WriteMacros(const std::vector<int>& macros)
    {
        (void)macros;
        return protocol::MacroWrite{protocol::Status::NotSupported};
    }
    virtual protocol::Status WriteSlotRecord(int slot, int active)
    {
        (void)slot, (void)active;
        return protocol::Status::NotSupported;
    }
    virtual void LoadLightPresets() {}
    // The device's custom colour group from the profile.
    virtual protocol::Status WriteCustomColourGroup() { return protocol::Status::NotSupported; }
    // The full read of what the device holds about itself (keyboard: key layout, LED map).
    virtual protocol::Status ReadDevice() { return protocol::Status::NotSupported; }
    // Reads the device's active settings into the profile and saves it; nothing changes
    // unless the read succeeds. The answer is the device's; the save's is readBackSave().
    virtual protocol::Status ReadDeviceState() { return protocol::Status::NotSupported; }
    // What became of the profile save of the last successful ReadDeviceState.
    ProfileResult readBackSave() const { return m_readBackSave; }
    // The device's profile record; null for a device without one.
    virtual profile::CBasicProfiledata* profileRecord() { return nullptr; }
    // Starts (or restarts) the device's host-driven lighting.
    virtual void StartLighting() {}
    virtual void StopLighting() {}

    // Points the profile record at this device's profile, preset and factory files.
    void SetProfilePaths();
    virtual std::filesystem::path GetProfilePath() const { return {}; }
    // Saves the profile record to its file.
    virtual ProfileResult CommitProfile() { return ProfileResult::NotSupported; }
    virtual void SetLightSettings(const profile::LightInfoWords& words);
    profile::LightInfo GetLightSettings() const { return m_lightSettings; }
    virtual void SetAudioParams(const profile::AudioLightWords& words);
    profile::AudioLightWords GetAudioParams() const;
    virtual void SetAudioSpectrum(std::span<const std::int32_t> values) { (void)values; }
    virtual void SetExternalColour(std::span<const std::int32_t> values) { (void)values; }

    // Effect helpers of the devices with few lights (one fading intensity per light and a
    // 23-column level ring), and their state, readable for their steps and tests.
    void FadeStep(std::size_t light, int mode);
    void MarkPressedLights();
    void RotateRing(int direction);
    void ClearIntensities();
    std::uint8_t intensity(std::size_t light) const;
    void setIntensity(std::size_t light, std::uint8_t value);
    const std::array<std::uint8_t, kColumnLevelCount>& columnLevels() const
    {
        return m_columnLevels;
    }
    std::array<std::uint8_t, kColumnLevelCount>& columnLevels() { return m_columnLevels; }

protected:
    void setPositionMaps(PositionMap toSlot, PositionMap toLed);
    // Kept in the form the profile stores it, so that what the device is sent from the
    // record is what a reload of the profile would send.
    void setLightSettingsRecord(const profile::LightInfo& info)
    {
        m_lightSettings = storedForm(info);
    }
    static profile::LightInfo storedForm(profile::LightInfo info);
    void setAudioParamsRecord(const profile::AudioLightInfo& info) { m_audioParams = info; }
    profile::LightPresets& mutablePresets() { return m_presets; }
    // The profile record's save as a result.
    static ProfileResult saved(int saveResult)
    {
        return saveResult == 0 ? ProfileResult::Ok : ProfileResult::NotSaved;
    }
    // Notes the read-back's save; a file that could not be written is told to the view, since
    // what the device holds is then in memory only.
    void readBackSaved(ProfileResult result);

private:
    int m_lightCount = 0;
    ProfileResult m_readBackSave = ProfileResult::Ok;
    int m_functionTab = kInitialFunctionTab;

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

    // Carries the live frames of SendLiveFrame; made on first use. Stops in the destructor,
    // before the channel it sends through goes.
    std::unique_ptr<LiveFramePump> m_framePump;
};

} // namespace model
