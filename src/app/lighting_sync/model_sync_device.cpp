#include "app/lighting_sync/model_sync_device.h"

#include "device/model/usb_device_model.h"
#include "platform/debug_output.h"

#include <filesystem>
#include <system_error>

namespace app::lighting_sync {

ModelSyncDevice::ModelSyncDevice(detect::DeviceKind kind, model::UsbDeviceModel& device,
                                 ShowSettings showSettings, ShowMode showMode)
    : m_kind(kind), m_device(device), m_lightCount(device.lightCount()),
      m_showSettings(std::move(showSettings)), m_showMode(std::move(showMode))
{
}

bool ModelSyncDevice::isOnline() const
{
    return m_device.channel().isOpen();
}

bool ModelSyncDevice::isLightingSync() const
{
    return m_device.channel().isLightingSync();
}

void ModelSyncDevice::setLightingSync(bool on)
{
    m_device.channel().setLightingSync(on);
}

void ModelSyncDevice::watchChanges(const std::weak_ptr<platform::Event>& changed)
{
    m_device.channel().watchFlags(changed);
}

void ModelSyncDevice::setLightColour(int index, std::uint32_t colour)
{
    if (index >= 0)
        m_device.SetLightColour(static_cast<std::size_t>(index), colour);
}

profile::LightInfo ModelSyncDevice::lightSettings() const
{
    return m_device.GetLightSettings();
}

void ModelSyncDevice::showOnPage(const profile::LightInfo& settings)
{
    if (m_showSettings)
        m_showSettings(settings);
}

void ModelSyncDevice::showEffectMode(int mode)
{
    if (m_showMode)
        m_showMode(mode);
}

void ModelSyncDevice::writeLighting(const profile::LightInfo& settings)
{
    m_device.SetLightSettings(profile::toWords(settings));
    pages::ChangeResult result;
    // Another program may have deleted this device's profile: a save would bring its file
    // back with no list naming it. The window moves the view on the device's next change.
    std::error_code error;
    const bool saveTried = std::filesystem::is_regular_file(m_device.GetProfilePath(), error);
    if (saveTried)
        result.save(m_device.CommitProfile());
    else
        platform::debugOutput(L"lighting not saved: the profile's file is gone");
    result.device(m_device.ShowLighting());
    // A pad or headset has no slot record: asking would leave the change "not written".
    if (m_device.has(model::Capability::SlotRecord))
        result.device(m_device.WriteSlotRecord(0, 0));
    if (m_committed)
        m_committed(result, saveTried);
}

void ModelSyncDevice::setAudioSpectrum(std::span<const std::int32_t> values)
{
    m_device.SetAudioSpectrum(values);
}

void ModelSyncDevice::setExternalColour(std::span<const std::int32_t> values)
{
    m_device.SetExternalColour(values);
}

} // namespace app::lighting_sync
