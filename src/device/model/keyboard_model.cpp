#include "device/model/keyboard_model.h"

#include "device/model/lighting_profile_adapter.h"
#include "platform/debug_output.h"
#include "platform/text.h"
#include "profile/json_file.h"
#include "profile/macro_library.h"

#include <algorithm>

namespace model {
namespace {

inline constexpr std::uint16_t kProfileSyncUsage = 0x0402;

const KeyFamilyLayout kKeyboardKeys{kKeyboardPositions, kUnmapped, &protocol::writeKeyMapBlock,
                                    &protocol::writeMacroBlock};

} // namespace

KeyboardModel::KeyboardModel()
    : KeyedDeviceModel(kKeyboardKeys),
      m_lighting(std::make_unique<LightingThread>(static_cast<LightingHost&>(*this))),
      m_pump(std::make_unique<LiveFramePump>(
          [this](std::span<const std::uint8_t> frame) { return sendLiveColours(frame); }))
{
    setNames(kKeyboardDescriptionFile, kKeyboardFolderName, L"novik_light");
    setKeyCount(int(kKeyboardKeyCount));
    setLightCount(int(kKeyboardLightCount));
    setIdentity(detect::supportedInterfaces()[0]);
    SetKind(detect::DeviceKind::Keyboard);
    m_liveLedMap.fill(kUnmapped);
}

KeyboardModel::~KeyboardModel()
{
    KeyboardModel::StopLighting();
}

std::atomic<std::uint16_t>& KeyboardModel::lastListenerUsage()
{
    static std::atomic<std::uint16_t> usage{0};
    return usage;
}

Capabilities KeyboardModel::capabilities() const
{
    using enum Capability;
    return {Profile, Lighting,      DeviceRead, DeviceState, SlotRecord, KeyMap,
            Macros,  CustomColours, Power,      Receiver,    AudioInput};
}

LightColourList& KeyboardModel::lights()
{
    return m_lighting->lights();
}

// ---- Reading the device

protocol::FullReadResult KeyboardModel::ReadKeyboard()
{
    protocol::DeviceBlocks blocks = m_blocks;
    const protocol::FullReadResult result = protocol::fullRead(channel(), blocks);
    if (result.outcome == protocol::FullReadOutcome::NotOpen)
        return result;
    const std::size_t slots = blocks.info[protocol::kInfoKeySlotCount];
    mutableInfo() = blocks.info;
    if (result.outcome == protocol::FullReadOutcome::BlockSizeRefused) {
        // The layout is not read; the maps of the last good read stay.
        return result;
    }
    m_blocks = blocks;
    PositionMaps maps = buildPositionMaps(m_blocks.keyLayout, m_blocks.ledMap, slots);
    {
        std::lock_guard lock(m_liveLedLock);
        std::copy_n(maps.toLed.begin(), std::min(maps.toLed.size(), m_liveLedMap.size()),
                    m_liveLedMap.begin());
    }
    setPositionMaps(std::move(maps.toSlot), std::move(maps.toLed));
    return result;
}

protocol::Status KeyboardModel::ReadDevice()
{
    const protocol::FullReadResult result = ReadKeyboard();
    switch (result.outcome) {
    case protocol::FullReadOutcome::NotOpen:
        return protocol::Status::NoReply;
    case protocol::FullReadOutcome::BlockSizeRefused:
        return result.firstFailure != protocol::Status::Ok ? result.firstFailure
                                                           : protocol::Status::NoReply;
    case protocol::FullReadOutcome::Completed:
        break;
    }
    return result.firstFailure;
}

protocol::Status KeyboardModel::ReadDeviceState()
{
    channel().setLightingSync(false);
    m_previousState = m_state;
    if (!channel().isOpen())
        return protocol::Status::NoReply;
    protocol::SlotRecord record{};
    const protocol::Status status = protocol::readSlotRecord(channel(), record);
    if (status != protocol::Status::Ok)
        return status;
    if (presets().effectCodes.empty())
        LoadLightPresets();
    const SlotReadBack back = readSlotRecord(record, presets());
    m_lastRecord = record;
    m_state = back.state;

    profile::LightInfo light = lightSettings();
    light.mode = m_state[state::kMode];
    light.brightness = m_state[state::kBrightness];
    light.speed = m_state[state::kSpeed];
    light.direction = m_state[state::kVariant];
    light.multiColour = m_state[state::kMultiColour];
    light.red = m_state[state::kRed];
    light.green = m_state[state::kGreen];
    light.blue = m_state[state::kBlue];
    light.subMode = m_state[state::kSubMode];
    setLightSettingsRecord(light);
    m_systemSettings.key6Flag = back.key6Flag;
    m_systemSettings.wFlag = back.wFlag;
    m_systemSettings.winFlag = back.winFlag;

    // The engine restarts its effect when the mode changed, and always in the custom mode.
    (void)setEffectSettings(effectSettingsFrom(light));

    const profile::StageWords words = profile::toWords(m_systemSettings);
    m_profile.StoreSystemStages(words[0], words[1], words[2]);
    m_profile.StoreLightInfo(light);
    // Without a selected profile there is no file to keep the settings in.
    readBackSaved(m_profile.GetProfilePath().empty() ? ProfileResult::NoProfile
                                                     : saved(m_profile.SaveProfile()));
    return protocol::Status::Ok;
}

// ---- Profile

std::filesystem::path KeyboardModel::GetProfilePath() const
{
    return m_profile.GetProfilePath();
}

ProfileResult KeyboardModel::LoadProfile()
{
    SetProfilePaths();
    if (m_profile.GetProfilePath().empty())
        return ProfileResult::NoProfile;
    m_profile.LoadProfileFile(m_profile.GetProfilePath());
    setKeys(m_profile.LoadKeyList());
    takeProfileLighting();
    (void)ShowLighting();
    m_systemSettings = m_profile.LoadSystemStages();
    return ProfileResult::Ok;
}

ProfileResult KeyboardModel::ReloadProfile()
{
    SetProfilePaths();
    const std::filesystem::path own = m_profile.GetProfilePath();
    m_profile.LoadProfileFile(factoryProfilePath());
    m_profile.SetProfilePath(own);
    setKeys(m_profile.LoadKeyList());
    takeProfileLighting();
    (void)ShowLighting();
    m_systemSettings = m_profile.LoadSystemStages();
    const ProfileResult result = CommitProfile();
    RefreshView();
    return result;
}

ProfileResult KeyboardModel::CommitProfile()
{
    return saved(m_profile.SaveProfile());
}

void KeyboardModel::SetLightSettings(const profile::LightInfoWords& words)
{
    const profile::LightInfo before = lightSettings();
    UsbDeviceModel::SetLightSettings(words);
    m_profile.StoreLightInfo(lightSettings());
    showChangedSettings(before);
}

void KeyboardModel::SetAudioParams(const profile::AudioLightWords& words)
{
    UsbDeviceModel::SetAudioParams(words);
    m_profile.StoreAudioLightInfo(audioParams());
    const AudioSettings audio = audioSettingsFrom(audioParams());
    m_lighting->update([&](LightingEngine& engine) { engine.setAudioSettings(audio); });
}

void KeyboardModel::LoadLightPresets()
{
    const std::filesystem::path folder = dataFolder();
    profile::loadLightPresets(mutablePresets(), factoryFolder() / profile::kDefaultLightFileName,
                              folder / profile::kCustomLightListName);
}

void KeyboardModel::RefreshView()
{
    if (presets().effectCodes.empty())
        LoadLightPresets();
    view().keyLabelsChanged();
    view().refreshPages();
}

// ---- Writing the device

protocol::Status KeyboardModel::WriteSlotRecord(int slot, int active)
{
    if (presets().effectCodes.empty())
        LoadLightPresets();
    const protocol::SlotRecord record =
        buildSlotRecord(lightSettings(), m_profile.systemStages(), std::uint8_t(active), presets());
    return protocol::writeSlotRecord(channel(), std::size_t(std::max(slot, 0)), record);
}

protocol::Status KeyboardModel::WriteCustomColourGroup()
{
    if (!channel().isOpen())
        return protocol::Status::NoReply;
    if (channel().isReceiverMode())
        return protocol::Status::Ok;
    std::size_t bytes = 0;
    if (const protocol::Status known = colourBlockBytes(bytes); known != protocol::Status::Ok)
        return known;
    const int group = lightSettings().customGroup;
    const auto colours = m_profile.LoadCustomColours(group, lightCount());
    const protocol::KeyBlock block = customColourBlock(colours, positionToLed());
    return channel().WriteCustomColours(std::span(block).first(bytes), std::size_t(group),
                                        protocol::kMaxBlockSize, 0);
}

protocol::Status KeyboardModel::colourBlockBytes(std::size_t& bytes)
{
    // Zero from a read that never answered is not the device saying it has no key slots.
    if (info()[protocol::kInfoKeySlotCount] == 0) {
        protocol::InfoBlock fresh{};
        if (const protocol::Status read = channel().ReadInfo(fresh); read != protocol::Status::Ok)
            return read;
        mutableInfo() = fresh;
    }
    bytes = protocol::kKeyEntrySize * info()[protocol::kInfoKeySlotCount];
    if (bytes == 0)
        return protocol::Status::NothingToWrite;
    if (bytes > protocol::kMaxBlockSize)
        return protocol::Status::NoReply;
    return protocol::Status::Ok;
}

// ---- Start, sync, power

protocol::Status KeyboardModel::StartDevice()
{
    // The effect lists are read once per start; changes use what is held.
    LoadLightPresets();
    protocol::Status first = ReadDevice();
    if (const ProfileResult loaded = LoadProfile(); loaded != ProfileResult::Ok)
        platform::debugOutput("keyboard start: " + describe(loaded));
    const protocol::Status state = ReadDeviceState();
    if (first == protocol::Status::Ok)
        first = state;
    RefreshView();
    StartLighting();
    return first;
}

void KeyboardModel::SetActiveSlot(std::uint8_t slot, std::optional<std::uint8_t> recordValue)
{
    m_state[0] = slot;
    if (recordValue)
        m_lastRecord[17] = *recordValue;
}

void KeyboardModel::SyncFromDevice()
{
    (void)ReadDeviceState();
    if (lastCableUsage() == kProfileSyncUsage && LoadProfile() != ProfileResult::Ok)
        platform::debugOutput("keyboard sync: the selected profile could not be loaded");
    RefreshView();
}

void KeyboardModel::RefreshPower()
{
    const auto power = protocol::readPower(channel(), isPaused() ? protocol::PowerPause::Yes
                                                                 : protocol::PowerPause::No);
    if (power)
        m_power = power;
}

bool KeyboardModel::IsReceiverLinkUp()
{
    return channel().isOpen() && channel().isReceiverMode() && channel().LinkStatus();
}

} // namespace model
