#pragma once

// The main window's own lighting: the devices in synchronised mode lit in step by a worker,
// the same-lighting command, game lighting and the audio feed from other programs. The
// window owns one and hands it its device objects as they are made. UI thread, except the
// worker.

#include "app/lighting_sync/device_lists.h"
#include "app/lighting_sync/model_sync_device.h"
#include "app/lighting_sync/spectrum_feed.h"
#include "app/lighting_sync/sync_effect.h"
#include "app/lighting_sync/sync_thread.h"
#include "device/detect/supported_interfaces.h"

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace shell {
class ShellDevice;
}

namespace app {

class MainLighting {
public:
    MainLighting();
    ~MainLighting();
    MainLighting(const MainLighting&) = delete;
    MainLighting& operator=(const MainLighting&) = delete;

    // A new device object of `kind`; false when it has no model or the lists are full.
    bool addDevice(detect::DeviceKind kind, shell::ShellDevice& device);
    // The view of a device the window knows; null for any other.
    lighting_sync::SyncDevice* syncDeviceOf(const shell::ShellDevice* device) const;

    bool start();
    // True when the worker ended within the time-out.
    bool stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

    // The same-lighting command from the active device; false when nothing changed.
    bool applySameLighting(const shell::ShellDevice* active);
    // A game message: the effect shows at once; the window (re)starts its restore timer.
    void gameEvent(const shell::ShellDevice* active, std::uint64_t step, std::int64_t mode);
    void restoreAfterGame(const shell::ShellDevice* active);
    // A copy-data block from another program; false when its id is not ours.
    bool copyData(std::uint64_t id, std::span<const std::uint8_t> data);

    const lighting_sync::SyncSettings& settings() const { return m_settings; }
    const lighting_sync::SyncLightingThread& worker() const { return m_worker; }
    const lighting_sync::SpectrumFeed& feed() const { return m_feed; }

private:
    lighting_sync::SyncSettings m_settings;
    lighting_sync::DeviceLists m_devices;
    std::vector<
        std::pair<const shell::ShellDevice*, std::unique_ptr<lighting_sync::ModelSyncDevice>>>
        m_views;
    lighting_sync::SpectrumFeed m_feed;
    // Last: stops before the lists and views it reads go.
    lighting_sync::SyncLightingThread m_worker;
};

} // namespace app
