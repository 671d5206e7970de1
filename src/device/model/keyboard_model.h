#pragma once

// The keyboard's device object without UI: which key slot of the device is which key of the
// picture, its profile turned into the key map, macro block, slot record and custom colours
// (and read back), and its host-driven lighting with the thread that animates it and the
// thread that carries live frames to the cable.
//
// Threads: the owner's (UI) thread for every operation. The lighting thread paints lights()
// and the frame pump sends; neither touches the profile or the view.

#include "device/model/keyboard_conversions.h"
#include "device/model/keyed_device_model.h"
#include "device/model/lighting_thread.h"
#include "device/model/live_frame.h"
#include "device/model/live_frame_pump.h"
#include "profile/keyboard_profile_data.h"
#include "profile/system_stages.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace model {

inline constexpr const wchar_t* kKeyboardDescriptionFile = L"XML\\DeviceXml\\keyboarddevice.xml";
inline constexpr const wchar_t* kKeyboardFolderName = L"keyboard";

// Live frames on the cable go no faster than the tile's timer, every 5 ms.
inline constexpr std::chrono::milliseconds kLiveFrameInterval{5};

class KeyboardModel : public KeyedDeviceModel, private LightingHost {
public:
    KeyboardModel();
    // Stops the frame pump and the lighting thread before anything they use goes.
    ~KeyboardModel() override;

    profile::CKeyboardProfiledata& profile() { return m_profile; }
    const protocol::DeviceBlocks& blocks() const { return m_blocks; }
    const DeviceState& deviceState() const { return m_state; }
    const protocol::SlotRecord& lastSlotRecord() const { return m_lastRecord; }
    const profile::KeyboardSystemStages& systemSettings() const { return m_systemSettings; }

    // The full read, then the position maps. After a stopped read the maps are kept.
    protocol::FullReadResult ReadKeyboard();
    // Reads the active slot's record into the device state, the light settings and the
    // profile, and saves the profile. The read's status; nothing changes unless it is Ok.
    protocol::Status ReadDeviceState() override;
    profile::CBasicProfiledata* profileRecord() override { return &m_profile; }
    // Stops the running host effect and clears its state.
    void ResetEffects();
    // In the custom mode: light `light` takes the current colour, the colours go to the
    // profile (saved) when a custom group is selected, and the group is written on the cable.
    SavedAndWritten PaintCustomKey(std::size_t light);
    // The same for several lights at once, with one write.
    SavedAndWritten PaintCustomKeys(std::span<const std::size_t> lights);
    // Every light takes `colour` as its custom colour (shown in the custom mode); with
    // `storeInGroup` the colours become the selected group's in the profile, saved; in the
    // custom mode they are written on the cable.
    SavedAndWritten FillCustomColours(Rgb colour, bool storeInGroup);

    // The last consumer usage the listener received, kept for the whole process.
    static std::atomic<std::uint16_t>& lastListenerUsage();

    // New settings straight to the engine (the profile is not touched); the effect restarts
    // when the mode changed or is the custom mode. False when the mode sends no live frames.
    bool setEffectSettings(const EffectSettings& settings);

    LightingThread& lightingThread() { return *m_lighting; }
    LiveFramePump& framePump() { return *m_pump; }
    // Engine steps painted and frames handed to the pump since start.
    std::uint64_t framesPainted() const { return m_painted.load(); }
    std::uint64_t framesHandedOver() const { return m_handedOver.load(); }

    Capabilities capabilities() const override;
    LightColourList& lights() override;
    protocol::Status ShowLighting() override;
    void EffectOff() override;
    void SendLiveFrame() override;
    void SetLightColour(std::size_t light, std::uint32_t word) override;
    protocol::Status StartDevice() override;
    void SyncFromDevice() override;
    void RefreshPower() override;
    bool IsReceiverLinkUp() override;
    ProfileResult LoadProfile() override;
    void RefreshView() override;
    void SetActiveSlot(std::uint8_t slot, std::optional<std::uint8_t> recordValue) override;
    ProfileResult ReloadProfile() override;
    protocol::Status WriteSlotRecord(int slot, int active) override;
    void LoadLightPresets() override;
    protocol::Status WriteCustomColourGroup() override;
    protocol::Status ReadDevice() override;
    // Starts (or restarts) the lighting thread and the frame pump.
    void StartLighting() override;
    void StopLighting() override;
    std::filesystem::path GetProfilePath() const override;
    ProfileResult CommitProfile() override;
    void SetLightSettings(const profile::LightInfoWords& words) override;
    void SetAudioParams(const profile::AudioLightWords& words) override;
    void SetAudioSpectrum(std::span<const std::int32_t> values) override;
    void SetExternalColour(std::span<const std::int32_t> values) override;

    // The last power block read, if any.
    const std::optional<protocol::PowerBlock>& power() const { return m_power; }

protected:
    const protocol::KeyBlock& keyLayoutBlock() const override { return m_blocks.keyLayout; }

private:
    // LightingHost, on the lighting thread (watchChannel on the owner's, as it starts).
    bool isChannelOpen() const override;
    bool isLightingSynced() const override;
    void watchChannel(const std::weak_ptr<platform::Event>& changed) override;
    void framePainted() override;

    // The profile's lighting records into the model, and the custom list the effect steps
    // come from: once per profile load, never per change.
    void takeProfileLighting();
    // The state and the engine after the light settings changed from `before`: only what the
    // change touches is rebuilt, and nothing is read from a file unless the mode changed.
    void showChangedSettings(const profile::LightInfo& before);
    void setStateFromSettings(const profile::LightInfo& info);
    // The custom effect steps of `mode`; its step file is read only when the mode changed.
    const std::vector<profile::EffectStep>& stepsFor(int mode);
    std::vector<Rgb> customColoursOf(int group);

    // The lights' colours as the selected group's custom colours, saved.
    ProfileResult storeCustomColours(int group);
    // The lights' colours to the keyboard's custom colour group, on the cable only.
    protocol::Status writePaintedColours(int group);
    // The bytes of a colour block: 3 per key slot. With no slot count known (no read of the
    // information block has succeeded yet) the block is read now; its failure is the result.
    protocol::Status colourBlockBytes(std::size_t& bytes);
    bool sendLiveColours(std::span<const std::uint8_t> frame);

    profile::CKeyboardProfiledata m_profile;
    protocol::DeviceBlocks m_blocks;
    DeviceState m_state{};
    DeviceState m_previousState{};
    protocol::SlotRecord m_lastRecord{};
    profile::KeyboardSystemStages m_systemSettings;
    std::optional<protocol::PowerBlock> m_power;
    std::optional<int> m_stepsMode; // the mode whose steps the profile record holds

    // Whether a live frame may go out now; any thread.
    bool mayStream() const;
    // Hands the light colours to the pump unless this paint was handed over already; any
    // thread (the lighting thread after each step, the tile's timer for colours others set).
    void handOverFrame();

    std::mutex m_liveLedLock; // guards m_liveLedMap, read by the lighting thread
    std::array<std::uint8_t, kKeyboardPositions> m_liveLedMap{};
    std::atomic<bool> m_modeSendsFrames{true};
    std::atomic<std::uint64_t> m_painted{0};
    std::atomic<std::uint64_t> m_handedGeneration{0};
    std::atomic<std::uint64_t> m_handedOver{0};
    // Declared last: they stop (in reverse order) before the members they use go.
    std::unique_ptr<LightingThread> m_lighting;
    std::unique_ptr<LiveFramePump> m_pump;
};

} // namespace model
