#pragma once

// The mouse's device object without UI: which key slot is which button, its profile turned
// into the key map, macro block and slot record with the DPI stages (and read back), and its
// host-driven lighting, which the picture shows and the device never receives. In receiver
// mode every exchange first asks whether the receiver reaches the mouse.
//
// Threads: the owner's (UI) thread for every operation. The lighting thread paints lights()
// and touches neither the profile nor the view.

#include "device/model/keyed_device_model.h"
#include "device/model/lighting_thread.h"
#include "device/model/mouse_conversions.h"
#include "profile/mouse_profile_data.h"

#include <memory>
#include <optional>
#include <vector>

namespace model {

inline constexpr const wchar_t* kMouseDescriptionFile = L"XML\\DeviceXml\\mousedevice.xml";
inline constexpr const wchar_t* kMouseFolderName = L"mouse";

class MouseModel : public KeyedDeviceModel, private LightingHost {
public:
    MouseModel();
    // Stops the lighting thread before anything it uses goes.
    ~MouseModel() override;

    profile::CMouseProfiledata& profile() { return m_profile; }
    const protocol::KeyBlock& keyLayout() const { return m_keyLayout; }
    const protocol::MouseRecord& lastSlotRecord() const { return m_lastRecord; }
    const MouseReadBack& deviceState() const { return m_state; }
    // The stages and the active stage the mouse page shows.
    const std::vector<profile::DpiStage>& dpiStages() const { return m_dpiStages; }
    int activeStage() const { return m_activeStage; }
    // The DPI scale of the sensor, from the last full read.
    DpiScale dpiScale() const { return dpiScaleFrom(info()); }

    // Edits of the mouse page; each goes into the profile (not yet saved or written).
    // False, with nothing changed, for a stage the list does not have.
    bool setActiveStage(int stage);
    // The typed DPI snapped to the sensor's steps; both axes unless the stage keeps them
    // apart. The DPI stored, or nullopt for a stage the list does not have.
    std::optional<std::uint16_t> setStageDpi(int stage, std::optional<std::int64_t> typed);
    void setReportStage(std::uint16_t stage);
    // Replaces stage `stage` (0-4) whole; a list shorter than that grows with empty stages.
    // False, with nothing changed, past the record's five stages.
    bool setDpiStage(int stage, const profile::DpiStage& value);
    // What the program passes through in every slot record (the screen size).
    void setCallerValues(const CallerValues& values) { m_caller = values; }

    Capabilities capabilities() const override;
    // The full read; the position map only after a full read that completed.
    protocol::Status ReadDevice() override;
    // Reads the active slot's record into the state, the light settings and the active DPI
    // stage, stores them in the profile and saves it. Nothing changes unless it is Ok.
    protocol::Status ReadDeviceState() override;
    profile::CBasicProfiledata* profileRecord() override { return &m_profile; }

    LightColourList& lights() override;
    protocol::Status ShowLighting() override;
    // Shows the light colours on the picture only.
    void SendLiveFrame() override;
    void StartLighting() override;
    void StopLighting() override;
    LightingThread& lightingThread() { return *m_lighting; }
    protocol::Status StartDevice() override;
    void SyncFromDevice() override;
    void RefreshPower() override;
    bool IsReceiverLinkUp() override;
    ProfileResult LoadProfile() override;
    void RefreshView() override;
    void SetActiveSlot(std::uint8_t slot, std::optional<std::uint8_t> recordValue) override;
    ProfileResult ReloadProfile() override;
    protocol::Status WriteSlotRecord(int slot, int active) override;
    // The four recoil patterns of the data folder ("ShootData_0.Shoot" .. "_3"; a missing
    // file is an empty pattern) as the recoil pattern block.
    protocol::Status WriteRecoilPattern();
    void LoadLightPresets() override;
    std::filesystem::path GetProfilePath() const override;
    ProfileResult CommitProfile() override;
    void SetLightSettings(const profile::LightInfoWords& words) override;

    const std::optional<protocol::PowerBlock>& power() const { return m_power; }

protected:
    const protocol::KeyBlock& keyLayoutBlock() const override { return m_keyLayout; }

private:
    // LightingHost, on the lighting thread (watchChannel on the owner's, as it starts).
    bool isChannelOpen() const override;
    bool isLightingSynced() const override;
    void watchChannel(const std::weak_ptr<platform::Event>& changed) override;
    void framePainted() override;

    void loadProfileRecords();
    // The engine after the light settings changed; the custom effect's step file is read only
    // when the mode changed.
    void setEngineSettings(const profile::LightInfo& info);
    const std::vector<profile::EffectStep>& stepsFor(int mode);

    profile::CMouseProfiledata m_profile;
    protocol::KeyBlock m_keyLayout{};
    protocol::MouseRecord m_lastRecord{};
    MouseReadBack m_state{};
    std::vector<profile::DpiStage> m_dpiStages;
    int m_activeStage = 0;
    CallerValues m_caller;
    std::optional<protocol::PowerBlock> m_power;
    std::optional<int> m_stepsMode; // the mode whose steps the profile record holds
    // Declared last: it stops before the members it uses go.
    std::unique_ptr<LightingThread> m_lighting;
};

} // namespace model
