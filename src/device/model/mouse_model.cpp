#include "device/model/mouse_model.h"

#include "device/model/keyboard_conversions.h"
#include "device/model/lighting_profile_adapter.h"
#include "device/model/live_frame.h"
#include "platform/debug_output.h"
#include "platform/text.h"
#include "profile/json_file.h"
#include "profile/macro_library.h"

#include <algorithm>

namespace model {
namespace {

constexpr std::size_t kMouseRow = 4;

const KeyFamilyLayout kMouseKeys{kMousePositions, kMouseUnmapped, &protocol::writeMouseKeyMap,
                                 &protocol::writeMouseMacros};

} // namespace

MouseModel::MouseModel()
    : KeyedDeviceModel(kMouseKeys),
      m_lighting(std::make_unique<LightingThread>(static_cast<LightingHost&>(*this)))
{
    const detect::DeviceDescription& description = detect::deviceDescriptions()[0];
    setNames(kMouseDescriptionFile, kMouseFolderName, std::wstring(description.lightPresetName));
    setKeyCount(description.keyCount);
    setLightCount(description.lightCount);
    setWireless(description.wireless);
    setIdentity(detect::supportedInterfaces()[kMouseRow]);
    SetKind(detect::DeviceKind::Mouse);
}

Capabilities MouseModel::capabilities() const
{
    using enum Capability;
    return {Profile, Lighting, DeviceRead, DeviceState, SlotRecord,
            KeyMap,  Macros,   Power,      Receiver};
}

MouseModel::~MouseModel()
{
    MouseModel::StopLighting();
}

// ---- Reading the device

protocol::Status MouseModel::ReadDevice()
{
    protocol::InfoBlock fresh = info();
    protocol::KeyBlock layout = m_keyLayout;
    const protocol::FullReadResult result = protocol::mouseFullRead(channel(), fresh, layout);
    if (result.outcome == protocol::FullReadOutcome::NotOpen)
        return result.firstFailure == protocol::Status::Ok ? protocol::Status::NoReply
                                                           : result.firstFailure;
    mutableInfo() = fresh;
    if (result.outcome == protocol::FullReadOutcome::BlockSizeRefused)
        return protocol::Status::NoReply; // the map of the last good read stays
    if (result.firstFailure != protocol::Status::Ok)
        return result.firstFailure;
    m_keyLayout = layout;
    setPositionMaps(buildMousePositionMap(m_keyLayout, info()[protocol::kInfoKeySlotCount]),
                    PositionMap(kMousePositions, kUnmapped));
    return protocol::Status::Ok;
}

protocol::Status MouseModel::ReadDeviceState()
{
    channel().setLightingSync(false);
    if (!channel().isOpen())
        return protocol::Status::NoReply;
    protocol::MouseRecord record{};
    const protocol::Status status = protocol::readMouseRecord(channel(), record);
    if (status != protocol::Status::Ok)
        return status;
    if (presets().effectCodes.empty())
        LoadLightPresets();
    m_lastRecord = record;
    m_state = readMouseRecord(record, presets().effectCodes);

    profile::LightInfo light = lightSettings();
    const bool modeChanged = light.mode != m_state.mode;
    light.mode = m_state.mode;
    light.brightness = m_state.brightness;
    light.speed = m_state.speed;
    light.multiColour = m_state.multiColour;
    light.red = m_state.red;
    light.green = m_state.green;
    light.blue = m_state.blue;
    setLightSettingsRecord(light);
    m_profile.StoreLightInfo(lightSettings());
    if (modeChanged)
        ClearIntensities();
    setEngineSettings(lightSettings());

    // The byte comes from the device; a stage the list does not have is not applied.
    if (const auto stage = activeStageFromDevice(m_state.activeDpiStage, m_dpiStages.size())) {
        m_activeStage = *stage;
        m_profile.StoreActiveStage(*stage);
    } else {
        platform::debugOutput("active DPI stage " + std::to_string(m_state.activeDpiStage) +
                              " is not in the stage list; kept " + std::to_string(m_activeStage));
    }
    // Without a selected profile there is no file to keep the settings in.
    readBackSaved(m_profile.GetProfilePath().empty() ? ProfileResult::NoProfile
                                                     : saved(m_profile.SaveProfile()));
    return protocol::Status::Ok;
}

// ---- Profile

std::filesystem::path MouseModel::GetProfilePath() const
{
    return m_profile.GetProfilePath();
}

void MouseModel::loadProfileRecords()
{
    setKeys(m_profile.LoadKeyList());
    m_dpiStages = m_profile.LoadDpiStages();
    m_activeStage = m_profile.GetActiveStage();
    (void)m_profile.LoadMouseSystemStages();
    (void)m_profile.LoadCorrections();
    const profile::LightInfo info = m_profile.LoadLightInfo();
    if (info.mode != lightSettings().mode)
        ClearIntensities();
    setLightSettingsRecord(info);
    setAudioParamsRecord(m_profile.LoadAudioLightInfo());
    m_profile.LoadConfigFile(m_profile.GetConfigPath());
    m_stepsMode.reset();
    (void)ShowLighting();
}

ProfileResult MouseModel::LoadProfile()
{
    SetProfilePaths();
    if (m_profile.GetProfilePath().empty())
        return ProfileResult::NoProfile;
    m_profile.LoadProfileFile(m_profile.GetProfilePath());
    loadProfileRecords();
    return ProfileResult::Ok;
}

ProfileResult MouseModel::ReloadProfile()
{
    SetProfilePaths();
    const std::filesystem::path own = m_profile.GetProfilePath();
    m_profile.LoadProfileFile(factoryProfilePath());
    m_profile.SetProfilePath(own);
    loadProfileRecords();
    const ProfileResult result = CommitProfile();
    RefreshView();
    return result;
}

ProfileResult MouseModel::CommitProfile()
{
    return saved(m_profile.SaveProfile());
}

void MouseModel::SetLightSettings(const profile::LightInfoWords& words)
{
    const std::uint8_t previousMode = lightSettings().mode;
    UsbDeviceModel::SetLightSettings(words);
    if (lightSettings().mode != previousMode)
        ClearIntensities();
    m_profile.StoreLightInfo(lightSettings());
    setEngineSettings(lightSettings());
}

void MouseModel::LoadLightPresets()
{
    profile::loadLightPresets(mutablePresets(), factoryFolder() / profile::kDefaultLightFileName,
                              dataFolder() / profile::kCustomLightListName);
}

void MouseModel::SetActiveSlot(std::uint8_t slot, std::optional<std::uint8_t> recordValue)
{
    m_state.activeSlot = slot;
    if (recordValue)
        m_lastRecord[17] = *recordValue;
}

void MouseModel::RefreshView()
{
    if (presets().effectCodes.empty())
        LoadLightPresets();
    view().keyLabelsChanged();
    view().refreshPages();
}

// ---- Mouse page edits

bool MouseModel::setActiveStage(int stage)
{
    if (stage < 0 || std::size_t(stage) >= m_dpiStages.size())
        return false;
    m_activeStage = stage;
    m_profile.StoreActiveStage(stage);
    return true;
}

std::optional<std::uint16_t> MouseModel::setStageDpi(int stage, std::optional<std::int64_t> typed)
{
    if (stage < 0 || std::size_t(stage) >= m_dpiStages.size())
        return std::nullopt;
    const std::uint16_t dpi = snapDpi(dpiScale(), typed);
    profile::DpiStage& edited = m_dpiStages[std::size_t(stage)];
    edited.dpiX = dpi;
    if (!edited.separateXY)
        edited.dpiY = dpi;
    m_profile.StoreDpiStages(m_dpiStages);
    return dpi;
}

bool MouseModel::setDpiStage(int stage, const profile::DpiStage& value)
{
    if (stage < 0 || std::size_t(stage) >= protocol::mouse_record::kDpiStageCount)
        return false;
    if (m_dpiStages.size() <= std::size_t(stage))
        m_dpiStages.resize(std::size_t(stage) + 1);
    m_dpiStages[std::size_t(stage)] = value;
    m_profile.StoreDpiStages(m_dpiStages);
    return true;
}

void MouseModel::setReportStage(std::uint16_t stage)
{
    profile::MouseSystemStages stages = m_profile.LoadMouseSystemStages();
    stages.reportStage = stage;
    const profile::StageWords words = profile::toWords(stages);
    m_profile.StoreMouseSystemStages(words[0], words[1], words[2]);
}

// ---- Writing the device

protocol::Status MouseModel::WriteSlotRecord(int slot, int active)
{
    if (presets().effectCodes.empty())
        LoadLightPresets();
    MouseSettings settings;
    settings.light = lightSettings();
    settings.dpiStages = m_profile.LoadDpiStages();
    settings.activeStage = m_profile.GetActiveStage();
    settings.reportStage = m_profile.LoadMouseSystemStages().reportStage;
    settings.corrections = m_profile.LoadCorrections();
    const protocol::MouseRecord record =
        buildMouseRecord(settings, std::uint8_t(active), m_caller, presets().effectCodes);
    return protocol::writeMouseRecord(channel(), std::size_t(std::max(slot, 0)), record);
}

protocol::Status MouseModel::WriteRecoilPattern()
{
    constexpr int kPatternCount = 4;
    const std::filesystem::path folder = dataFolder();
    profile::CJsonFile files;
    std::vector<protocol::Macro> patterns(kPatternCount);
    for (int n = 0; n < kPatternCount; ++n) {
        const auto path = folder / ("ShootData_" + std::to_string(n) + ".Shoot");
        for (const profile::MacroEvent& event : profile::readMacroEvents(files.ReadJson(path)))
            patterns[std::size_t(n)].events.push_back(
                {event.delay, event.type, event.down, event.button});
    }
    return protocol::writeRecoilPattern(channel(), patterns);
}

// ---- Start, sync, power

protocol::Status MouseModel::StartDevice()
{
    // The effect lists are read once per start; changes use what is held.
    LoadLightPresets();
    protocol::Status first = ReadDevice();
    if (const ProfileResult loaded = LoadProfile(); loaded != ProfileResult::Ok)
        platform::debugOutput("mouse start: " + describe(loaded));
    const protocol::Status state = ReadDeviceState();
    if (first == protocol::Status::Ok)
        first = state;
    RefreshView();
    StartLighting();
    return first;
}

void MouseModel::SyncFromDevice()
{
    (void)ReadDeviceState();
    RefreshView();
}

void MouseModel::RefreshPower()
{
    const auto power = protocol::readPower(channel(), isPaused() ? protocol::PowerPause::Yes
                                                                 : protocol::PowerPause::No);
    if (power)
        m_power = power;
}

bool MouseModel::IsReceiverLinkUp()
{
    return channel().isOpen() && channel().isReceiverMode() && channel().LinkStatus();
}

// ---- Lighting

LightColourList& MouseModel::lights()
{
    return m_lighting->lights();
}

protocol::Status MouseModel::ShowLighting()
{
    const profile::LightInfo& info = lightSettings();
    // The mouse keeps no custom colour groups.
    const LightingProfile lighting = lightingProfileFrom(
        info, audioParams(), m_profile.LoadLightList(), stepsFor(info.mode), {});
    m_lighting->update([&](LightingEngine& engine) { engine.showLighting(lighting); });
    return protocol::Status::Ok;
}

const std::vector<profile::EffectStep>& MouseModel::stepsFor(int mode)
{
    if (m_stepsMode != mode) {
        m_profile.LoadEffectSteps();
        m_stepsMode = mode;
    }
    return m_profile.effectSteps();
}

void MouseModel::setEngineSettings(const profile::LightInfo& info)
{
    std::optional<std::vector<EffectStep>> steps;
    if (m_stepsMode != info.mode) {
        steps.emplace();
        for (const profile::EffectStep& step : stepsFor(info.mode))
            steps->push_back(effectStepFrom(step));
    }
    const EffectSettings settings = effectSettingsFrom(info);
    m_lighting->update([&](LightingEngine& engine) {
        if (steps)
            engine.setEffectSteps(std::move(*steps));
        engine.setSettings(settings);
    });
}

void MouseModel::StartLighting()
{
    m_lighting->start();
}

void MouseModel::StopLighting()
{
    m_lighting->stop();
}

bool MouseModel::isChannelOpen() const
{
    return channel().isOpen();
}

bool MouseModel::isLightingSynced() const
{
    return channel().isLightingSync();
}

void MouseModel::watchChannel(const std::weak_ptr<platform::Event>& changed)
{
    channel().watchFlags(changed);
}

void MouseModel::framePainted()
{
    lightWatch().comparePainted(lights(), std::size_t(lightCount()));
}

void MouseModel::SendLiveFrame()
{
    if (lightingControl() == LightingControl::OtherProgram)
        return;
    for (std::size_t light = 0; light < std::size_t(lightCount()); ++light) {
        const LightColour colour = lights().get(light);
        view().showLight(light, pictureColour(colour), colour.brightness);
    }
}

} // namespace model
