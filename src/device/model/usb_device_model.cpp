#include "device/model/usb_device_model.h"

#include "device/model/lighting_tables.h"
#include "device/model/live_frame.h"
#include "device/model/live_frame_pump.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "profile/json_file.h"
#include "profile/profile_data.h"

#include <algorithm>
#include <mutex>

namespace model {
namespace {

// Stands in while no control shows the device.
DeviceView& noView()
{
    static DeviceView view;
    return view;
}

// Lights 0-8 carry the pressed-key marks of the few-light devices.
constexpr std::size_t kPressedMarkLights = 9;

// Notices waiting for a UI thread that does not come (no view, a stalled loop) are bounded;
// the latest ones are kept, since each states the device as it is now.
constexpr std::size_t kMaxPendingNotices = 64;

bool isReceiverKind(detect::DeviceTypeId kind)
{
    return kind == detect::DeviceTypeId::KeyboardReceiver ||
           kind == detect::DeviceTypeId::MouseReceiver;
}

} // namespace

struct UsbDeviceModel::NoticeQueue {
    std::mutex lock;
    std::vector<ConsumerReport> notices;
    DeviceView* target = nullptr;
    bool posted = false;

    // On a listener thread.
    void add(const ConsumerReport& report)
    {
        if (report.action == ConsumerAction::Ignore)
            return;
        std::lock_guard guard(lock);
        if (notices.size() >= kMaxPendingNotices)
            notices.erase(notices.begin());
        notices.push_back(report);
        // One message carries every notice queued before it is handled.
        if (!posted && target != nullptr)
            posted = target->postDeviceNotices();
    }
};

UsbDeviceModel::UsbDeviceModel()
    : m_dataRoot(platform::userDataFolder() / kDataFolderName),
      m_factoryFolder(platform::programFolder() / kFactoryFolderName)
{
    m_notices = std::make_shared<NoticeQueue>();
    const auto sink = [notices = m_notices](const ConsumerReport& report) { notices->add(report); };
    m_cableListener = std::make_unique<ReportListener>(ListenerLink::Cable, sink);
    m_receiverListener = std::make_unique<ReportListener>(ListenerLink::Receiver, sink);
}

UsbDeviceModel::~UsbDeviceModel()
{
    // The listeners' sink uses the notice queue and the view: they end first.
    m_cableListener->close();
    m_receiverListener->close();
    if (m_framePump)
        m_framePump->stop();
}

void UsbDeviceModel::setNames(std::wstring descriptionFile, std::wstring folderName,
                              std::wstring lightPresetName)
{
    m_descriptionFile = std::move(descriptionFile);
    m_folderName = std::move(folderName);
    m_lightPresetName = std::move(lightPresetName);
}

void UsbDeviceModel::setIdentity(const detect::SupportedInterface& row)
{
    m_identity = row;
    m_typeId = row.typeId;
    m_role = row.role;
}

void UsbDeviceModel::setKeyCount(int count)
{
    m_keyCount = std::max(count, 0);
}

void UsbDeviceModel::setLightCount(int count)
{
    m_lightCount = std::clamp(count, 0, int(LightColourList::size()));
    m_lightRecords.assign(std::size_t(m_lightCount), profile::LightInfo{});
    m_intensities.assign(std::size_t(m_lightCount), 0);
    m_lights.fill(LightColour{});
}

void UsbDeviceModel::setPaused(bool paused)
{
    if (m_wireless)
        m_paused = paused;
}

std::filesystem::path UsbDeviceModel::dataFolder() const
{
    const std::filesystem::path folder = m_dataRoot / m_folderName;
    if (const auto created = platform::createFolders(folder); !created)
        platform::debugOutput(L"cannot create the data folder " + folder.wstring());
    return folder;
}

std::filesystem::path UsbDeviceModel::factoryProfilePath() const
{
    return m_factoryFolder / (m_folderName + L".Json");
}

std::uint16_t UsbDeviceModel::firmwareVersion() const
{
    if (!m_channel.isOpen())
        return 0;
    return const_cast<CDeviceProtocol&>(m_channel).wiredLink().attributes().version;
}

protocol::Status UsbDeviceModel::setLightingControl(LightingControl control)
{
    const LightingControl before = m_lightingControl.exchange(control);
    // The picture and the device show the colours again, or stop showing them.
    if (before != control)
        m_lightWatch.changed();
    if (control == LightingControl::Host && before != control &&
        m_typeId == detect::DeviceTypeId::KeyboardCable && m_channel.isOpen())
        return m_channel.HostLighting();
    return protocol::Status::Ok;
}

void UsbDeviceModel::setView(DeviceView* view)
{
    m_view = view;
    m_lightWatch.setWake(view ? LightWatch::Wake([view] { view->lightsChanged(); })
                              : LightWatch::Wake());
    std::lock_guard guard(m_notices->lock);
    m_notices->target = view;
    m_notices->posted = false;
}

bool UsbDeviceModel::openListener(const std::wstring& path, detect::DeviceTypeId kind)
{
    return (isReceiverKind(kind) ? m_receiverListener : m_cableListener)->open(path);
}

bool UsbDeviceModel::closeListener(detect::DeviceTypeId kind)
{
    return (isReceiverKind(kind) ? m_receiverListener : m_cableListener)->close();
}

bool UsbDeviceModel::isListening(ListenerLink link) const
{
    return (link == ListenerLink::Receiver ? m_receiverListener : m_cableListener)->isOpen();
}

std::size_t UsbDeviceModel::handleDeviceNotices()
{
    std::vector<ConsumerReport> notices;
    {
        std::lock_guard guard(m_notices->lock);
        notices.swap(m_notices->notices);
        m_notices->posted = false;
    }
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

DeviceView& UsbDeviceModel::view()
{
    return m_view != nullptr ? *m_view : noView();
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
    if (!m_channel.isOpen() || m_channel.isReceiverMode())
        return;
    // The devices without an LED map take few lights; one frame is a few chunks, still not
    // to be waited for on the caller's (UI) thread.
    const std::vector<std::uint8_t> frame = buildLightIndexedFrame(colours);
    if (frame.empty())
        return;
    if (!m_framePump) {
        m_framePump = std::make_unique<LiveFramePump>([this](std::span<const std::uint8_t> bytes) {
            return m_channel.LiveColours(bytes, 0) == protocol::Status::Ok;
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
    m_lightSettings = profile::lightInfoFromWords(words);
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
