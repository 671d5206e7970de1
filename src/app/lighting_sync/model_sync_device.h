#pragma once

#include "app/lighting_sync/sync_device.h"
#include "pages/models/change_result.h"

#include <functional>

namespace model {
class UsbDeviceModel;
}

namespace app::lighting_sync {

// A device object's model as the main window's lighting sees it. What the lighting page
// shows is left to the two callbacks (the page belongs to the UI; they may be empty).
class ModelSyncDevice final : public SyncDevice {
public:
    using ShowSettings = std::function<void(const profile::LightInfo&)>;
    using ShowMode = std::function<void(int)>;
    // What became of a lighting write, for the device's pending state; `saveTried` is false
    // when the profile's file was gone and no save was made.
    using Committed = std::function<void(const pages::ChangeResult& result, bool saveTried)>;

    ModelSyncDevice(detect::DeviceKind kind, model::UsbDeviceModel& device,
                    ShowSettings showSettings = {}, ShowMode showMode = {});

    detect::DeviceKind kind() const override { return m_kind; }
    bool isOnline() const override;
    bool isLightingSync() const override;
    void setLightingSync(bool on) override;
    void watchChanges(const std::weak_ptr<platform::Event>& changed) override;
    int lightCount() const override { return m_lightCount; }
    void setLightColour(int index, std::uint32_t colour) override;
    profile::LightInfo lightSettings() const override;
    void showOnPage(const profile::LightInfo& settings) override;
    void showEffectMode(int mode) override;
    void writeLighting(const profile::LightInfo& settings) override;
    void setAudioSpectrum(std::span<const std::int32_t> values) override;
    void setExternalColour(std::span<const std::int32_t> values) override;

    model::UsbDeviceModel& device() { return m_device; }
    void setCommitted(Committed committed) { m_committed = std::move(committed); }

private:
    detect::DeviceKind m_kind;
    model::UsbDeviceModel& m_device;
    // Read by the synchronised-lighting thread: fixed when the device is made.
    const int m_lightCount;
    ShowSettings m_showSettings;
    ShowMode m_showMode;
    Committed m_committed;
};

} // namespace app::lighting_sync
