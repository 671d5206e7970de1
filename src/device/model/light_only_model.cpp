#include "device/model/light_only_model.h"

#include "device/model/lighting_tables.h"
#include "platform/debug_output.h"
#include "platform/text.h"
#include "profile/json_file.h"

namespace model {
namespace {

constexpr std::size_t kMousePadType = 2;
constexpr std::size_t kHeadsetType = 3;

// The command row of a device type: the first row with its product and role.
detect::SupportedInterface identityRowOf(const detect::DeviceType& type)
{
    for (const auto& row : detect::supportedInterfaces()) {
        if (row.vendorId == type.vendorId && row.productId == type.productId &&
            row.role == type.role)
            return row;
    }
    return {};
}

} // namespace

LightOnlyModel::LightOnlyModel(std::size_t deviceType,
                               std::unique_ptr<profile::CBasicProfiledata> record)
    : m_profile(std::move(record))
{
    const detect::DeviceType& type = detect::deviceTypes()[deviceType];
    const detect::DeviceDescription& description =
        detect::deviceDescriptions()[std::size_t(type.descriptionRow)];
    setNames(std::wstring(description.descriptionFile), std::wstring(type.typeWord),
             std::wstring(description.lightPresetName));
    setKeyCount(description.keyCount);
    setLightCount(description.lightCount);
    setWireless(description.wireless);
    setIdentity(identityRowOf(type));
    SetKind(type.kindValue);
}

Capabilities LightOnlyModel::capabilities() const
{
    return {Capability::Profile, Capability::Lighting};
}

protocol::Status LightOnlyModel::StartDevice()
{
    LoadLightPresets();
    const ProfileResult loaded = LoadProfile();
    RefreshView();
    if (loaded != ProfileResult::Ok)
        platform::debugOutput("device start: " + describe(loaded));
    return loaded == ProfileResult::Ok ? protocol::Status::Ok : protocol::Status::NoReply;
}

std::filesystem::path LightOnlyModel::GetProfilePath() const
{
    return m_profile->GetProfilePath();
}

ProfileResult LightOnlyModel::LoadProfile()
{
    SetProfilePaths();
    if (m_profile->GetProfilePath().empty())
        return ProfileResult::NoProfile;
    m_profile->LoadProfileFile(m_profile->GetProfilePath());
    loadRecords();
    takeProfileLighting();
    (void)ShowLighting();
    return ProfileResult::Ok;
}

ProfileResult LightOnlyModel::ReloadProfile()
{
    SetProfilePaths();
    const std::filesystem::path own = m_profile->GetProfilePath();
    m_profile->LoadProfileFile(factoryProfilePath());
    m_profile->SetProfilePath(own);
    loadRecords();
    takeProfileLighting();
    (void)ShowLighting();
    const ProfileResult result = CommitProfile();
    RefreshView();
    return result;
}

ProfileResult LightOnlyModel::CommitProfile()
{
    return saved(m_profile->SaveProfile());
}

void LightOnlyModel::RefreshView()
{
    if (presets().effectCodes.empty())
        LoadLightPresets();
    view().refreshPages();
}

void LightOnlyModel::LoadLightPresets()
{
    profile::loadLightPresets(mutablePresets(), factoryFolder() / profile::kDefaultLightFileName,
                              dataFolder() / profile::kCustomLightListName);
}

protocol::Status LightOnlyModel::ShowLighting()
{
    paintLights();
    return protocol::Status::Ok;
}

void LightOnlyModel::takeProfileLighting()
{
    const profile::LightInfo info = m_profile->LoadLightInfo();
    if (info.mode != lightSettings().mode)
        ClearIntensities();
    setLightSettingsRecord(info);
    setAudioParamsRecord(m_profile->LoadAudioLightInfo());
    lightRecords() = m_profile->LoadLightList();
    lightRecords().resize(std::size_t(lightCount()));
}

void LightOnlyModel::SetLightSettings(const profile::LightInfoWords& words)
{
    const std::uint8_t previousMode = lightSettings().mode;
    UsbDeviceModel::SetLightSettings(words);
    if (lightSettings().mode != previousMode)
        ClearIntensities();
    m_profile->StoreLightInfo(lightSettings());
    paintLights();
}

void LightOnlyModel::paintLights()
{
    // A light with its own record shows that; the others the device's settings.
    const profile::LightInfo& info = lightSettings();
    for (std::size_t light = 0; light < std::size_t(lightCount()); ++light) {
        const profile::LightInfo& own = lightRecords()[light];
        const profile::LightInfo& shown = own.present ? own : info;
        lights().set(light, LightColour{shown.red, shown.green, shown.blue,
                                        brightnessLevel(shown.brightness)});
    }
    lightWatch().changed();
}

MousePadModel::MousePadModel()
    : LightOnlyModel(kMousePadType, std::make_unique<profile::CBasicProfiledata>())
{
}

HeadsetModel::HeadsetModel()
    : LightOnlyModel(kHeadsetType, std::make_unique<profile::CHs6533Profiledata>())
{
}

profile::CHs6533Profiledata& HeadsetModel::headsetProfile()
{
    return static_cast<profile::CHs6533Profiledata&>(profile());
}

void HeadsetModel::loadRecords()
{
    m_systemSetStages = headsetProfile().LoadSystemSetStages();
}

void HeadsetModel::setSystemSetStages(const profile::HeadsetSystemSetStages& stages)
{
    m_systemSetStages = stages;
    headsetProfile().StoreSystemSetStages(stages);
}

} // namespace model
