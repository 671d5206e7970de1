#include "device/model/usb_device_model.h"

#include "device/model/lighting_tables.h"
#include "device/model/live_frame.h"
#include "device/model/live_frame_pump.h"
#include "platform/debug_output.h"
#include "platform/text.h"
#include "profile/json_file.h"
#include "profile/profile_data.h"

#include <algorithm>

namespace model {
namespace {

// Lights 0-8 carry the pressed-key marks of the few-light devices.
constexpr std::size_t kPressedMarkLights = 9;

} // namespace

UsbDeviceModel::UsbDeviceModel() = default;

UsbDeviceModel::~UsbDeviceModel()
{
    if (m_framePump)
        m_framePump->stop();
}

void UsbDeviceModel::setLightCount(int count)
{
    m_lightCount = std::clamp(count, 0, int(LightColourList::size()));
    m_lightRecords.assign(std::size_t(m_lightCount), profile::LightInfo{});
    m_intensities.assign(std::size_t(m_lightCount), 0);
    m_lights.fill(LightColour{});
}

protocol::Status UsbDeviceModel::setLightingControl(LightingControl control)
{
    const LightingControl before = m_lightingControl.exchange(control);
    // The picture and the device show the colours again, or stop showing them.
    if (before != control)
        m_lightWatch.changed();
    if (control == LightingControl::Host && before != control &&
        typeId() == detect::DeviceTypeId::KeyboardCable && channel().isOpen())
        return channel().HostLighting();
    return protocol::Status::Ok;
}

void UsbDeviceModel::setView(DeviceView* view)
{
    m_lightWatch.setWake(view ? LightWatch::Wake([view] { view->lightsChanged(); })
                              : LightWatch::Wake());
    DeviceCore::setView(view);
}

void UsbDeviceModel::readBackSaved(ProfileResult result)
{
    m_readBackSave = result;
    if (result == ProfileResult::Ok)
        return;
    platform::debugOutput(platform::toUtf8(folderName()) +
                          ": settings read from the device: " + describe(result));
    if (result == ProfileResult::NotSaved)
        view().readBackNotSaved();
}

std::size_t UsbDeviceModel::handleDeviceNotices()
{
    const std::vector<ConsumerReport> notices = takeNotices();
    if (!channel().isOpen())
        return notices.size();
    bool refresh = false;
    bool sync = false;
    for (const ConsumerReport& notice : notices) {
        switch (notice.action) {
        case ConsumerAction::Sync:
        case ConsumerAction::SyncWithProfile:
            sync = true;
            break;
        case ConsumerAction::SlotNotice:
            SetActiveSlot(notice.activeSlot, std::nullopt);
            refresh = true;
            break;
        case ConsumerAction::SlotValueNotice:
            SetActiveSlot(notice.activeSlot, notice.secondValue);
            refresh = true;
            break;
        case ConsumerAction::Ignore:
            break;
        }
    }
    if (refresh)
        RefreshView();
    // The re-read refreshes the view itself.
    if (sync && !view().startSyncTimer())
        SyncFromDevice();
    return notices.size();
}

void UsbDeviceModel::setPositionMaps(PositionMap toSlot, PositionMap toLed)
{
    m_positionToSlot = std::move(toSlot);
    m_positionToLed = std::move(toLed);
}

void UsbDeviceModel::EffectOff()
{
    LightColourList& list = lights();
    for (int light = 0; light < m_lightCount; ++light)
        list.set(std::size_t(light), LightColour{});
    m_lightWatch.changed();
}

void UsbDeviceModel::SendLiveFrame()
{
    if (lightingControl() == LightingControl::OtherProgram)
        return;
    LightColourList& list = lights();
    std::vector<LightColour> colours(static_cast<std::size_t>(m_lightCount));
    for (std::size_t light = 0; light < colours.size(); ++light) {
        colours[light] = list.get(light);
        view().showLight(light, pictureColour(colours[light]), colours[light].brightness);
    }
    if (!channel().isOpen() || channel().isReceiverMode())
        return;
    // The devices without an LED map take few lights; one frame is a few chunks, still not
    // to be waited for on the caller's (UI) thread.
    const std::vector<std::uint8_t> frame = buildLightIndexedFrame(colours);
    if (frame.empty())
        return;
    if (!m_framePump) {
        m_framePump = std::make_unique<LiveFramePump>([this](std::span<const std::uint8_t> bytes) {
            return channel().LiveColours(bytes, 0) == protocol::Status::Ok;
        });
        m_framePump->start();
    }
    m_framePump->post(frame);
}

void UsbDeviceModel::SetLightColour(std::size_t light, std::uint32_t word)
{
    if (light < std::size_t(m_lightCount) && lights().word(light) != word) {
        lights().setWord(light, word);
        m_lightWatch.changed();
    }
}

std::uint32_t UsbDeviceModel::GetLightColour(std::size_t light) const
{
    if (light >= std::size_t(m_lightCount))
        return 0;
    return const_cast<UsbDeviceModel*>(this)->lights().word(light);
}

void UsbDeviceModel::SetKeyGroupMap(std::span<const std::uint8_t> map)
{
    m_keyGroupMap.assign(map.begin(), map.end());
}

std::uint8_t UsbDeviceModel::intensity(std::size_t light) const
{
    return light < m_intensities.size() ? m_intensities[light] : 0;
}

void UsbDeviceModel::setIntensity(std::size_t light, std::uint8_t value)
{
    if (light < m_intensities.size())
        m_intensities[light] = value;
}

void UsbDeviceModel::FadeStep(std::size_t light, int mode)
{
    if (light >= m_intensities.size())
        return;
    const int value = m_intensities[light];
    m_intensities[light] = std::uint8_t(value - fadeAmount(value, mode));
}

void UsbDeviceModel::MarkPressedLights()
{
    const std::size_t count = std::min(kPressedMarkLights, m_intensities.size());
    for (std::size_t light = 0; light < count; ++light) {
        if (m_columnLevels[light] != 0)
            m_intensities[light] = 255;
    }
}

void UsbDeviceModel::RotateRing(int direction)
{
    if (direction != 0)
        std::rotate(m_columnLevels.rbegin(), m_columnLevels.rbegin() + 1, m_columnLevels.rend());
    else
        std::rotate(m_columnLevels.begin(), m_columnLevels.begin() + 1, m_columnLevels.end());
}

void UsbDeviceModel::ClearIntensities()
{
    std::fill(m_intensities.begin(), m_intensities.end(), std::uint8_t{0});
    m_columnLevels.fill(0);
}

void UsbDeviceModel::SetLightSettings(const profile::LightInfoWords& words)
{
    setLightSettingsRecord(profile::lightInfoFromWords(words));
}

profile::LightInfo UsbDeviceModel::storedForm(profile::LightInfo info)
{
    // The profile keeps the cycle as a flag and has no place for the list-only bytes.
    info.multiColour = info.multiColour != 0 ? 1 : 0;
    info.reserved[0] = 0;
    info.reserved[1] = 0;
    info.present = 0;
    return info;
}

void UsbDeviceModel::SetAudioParams(const profile::AudioLightWords& words)
{
    m_audioParams = profile::audioLightInfoFromWords(words);
}

profile::AudioLightWords UsbDeviceModel::GetAudioParams() const
{
    return profile::toWords(m_audioParams);
}

void UsbDeviceModel::SetProfilePaths()
{
    profile::CBasicProfiledata* record = profileRecord();
    if (!record)
        return;
    const std::filesystem::path folder = dataFolder();
    if (!profileBaseName().empty()) {
        const auto path = profile::fileInFolder(folder, platform::toUtf8(profileBaseName()),
                                                profile::kProfileExtension);
        if (path)
            record->SetProfilePath(*path);
        else
            platform::debugOutput(L"profile name leaves its folder: " + profileBaseName());
    }
    record->SetConfigPath(folder / (lightPresetName() + L".config"));
    record->SetDefaultPath(factoryProfilePath());
}

} // namespace model
