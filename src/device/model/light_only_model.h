#pragma once

// The device objects whose configuration is their lighting only: the mouse pad and the
// headset. They load the profile's lighting, keep it as the light settings, paint their
// lights with it and, on the cable, hand the light colours to the device as live frames
// (the base SendLiveFrame). Settings the user changes go into the profile at once.
//
// Threads: the owner's (UI) thread for every operation.

#include "device/model/usb_device_model.h"
#include "profile/hs6533_profile_data.h"

#include <memory>

namespace model {

class LightOnlyModel : public UsbDeviceModel {
public:
    // `deviceType` indexes the device type table (which names the description row and the
    // identity row's product); `record` is the profile record the device keeps.
    LightOnlyModel(std::size_t deviceType, std::unique_ptr<profile::CBasicProfiledata> record);

    profile::CBasicProfiledata& profile() { return *m_profile; }
    profile::CBasicProfiledata* profileRecord() override { return m_profile.get(); }

    Capabilities capabilities() const override;
    protocol::Status StartDevice() override;
    ProfileResult LoadProfile() override;
    ProfileResult ReloadProfile() override;
    protocol::Status ShowLighting() override;
    void RefreshView() override;
    std::filesystem::path GetProfilePath() const override;
    ProfileResult CommitProfile() override;
    void SetLightSettings(const profile::LightInfoWords& words) override;
    void LoadLightPresets() override;

protected:
    // What a device loads beyond the lighting when its profile is loaded.
    virtual void loadRecords() {}

private:
    // The profile's lighting records into the model, once per profile load.
    void takeProfileLighting();
    void paintLights();

    std::unique_ptr<profile::CBasicProfiledata> m_profile;
};

class MousePadModel final : public LightOnlyModel {
public:
    MousePadModel();
};

// The headset: its lighting, and the equaliser, microphone and voice settings of its
// record, which its pages edit through profile().
class HeadsetModel final : public LightOnlyModel {
public:
    HeadsetModel();

    profile::CHs6533Profiledata& headsetProfile();
    const profile::HeadsetSystemSetStages& systemSetStages() const { return m_systemSetStages; }
    void setSystemSetStages(const profile::HeadsetSystemSetStages& stages);

protected:
    void loadRecords() override;

private:
    profile::HeadsetSystemSetStages m_systemSetStages;
};

} // namespace model
