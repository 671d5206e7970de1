#pragma once

#include "app/lighting_sync/sync_device.h"

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace app::lighting_sync {

// The main window's device objects by kind, read by the synchronised-lighting thread while
// the UI thread may add one. The lists hold observing pointers (the window owns the devices
// and never destroys one while it lives). Additions and the thread's copy take the lock
// only for the copy, so neither side waits on the other's device calls.
class DeviceLists {
public:
    static constexpr std::size_t kMaxDevices = 32;

    // UI thread. False when kMaxDevices are listed already. The device watches for every
    // watcher, and each is set once the device is listed.
    bool add(SyncDevice* device);
    // `changed` is set after a device is added or one of them goes online or offline or into
    // or out of synchronised mode, for as long as it lives. Any thread.
    void watch(const std::weak_ptr<platform::Event>& changed);
    // The devices in the order of `kinds`, each kind in the order added. At most
    // kMaxDevices; writes into `out` and returns the filled part. Any thread.
    std::span<SyncDevice*> collect(std::span<const detect::DeviceKind> kinds,
                                   std::array<SyncDevice*, kMaxDevices>& out) const;
    // The first device of a kind, or null. Any thread.
    SyncDevice* first(detect::DeviceKind kind) const;

private:
    mutable std::mutex m_lock;
    std::vector<std::weak_ptr<platform::Event>> m_watchers;
    // Reserved once: an addition never moves the storage under a reader.
    std::vector<SyncDevice*> m_devices = [] {
        std::vector<SyncDevice*> devices;
        devices.reserve(kMaxDevices);
        return devices;
    }();
};

} // namespace app::lighting_sync
