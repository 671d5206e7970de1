#include "app/lighting_sync/device_lists.h"

namespace app::lighting_sync {

bool DeviceLists::add(SyncDevice* device)
{
    std::vector<std::shared_ptr<platform::Event>> watchers;
    {
        const std::lock_guard lock(m_lock);
        if (device == nullptr || m_devices.size() >= kMaxDevices)
            return false;
        for (const auto& watcher : m_watchers)
            device->watchChanges(watcher);
        m_devices.push_back(device);
        for (const auto& watcher : m_watchers) {
            if (auto event = watcher.lock())
                watchers.push_back(std::move(event));
        }
    }
    // After the lock: a watcher that looks now finds the device.
    for (const auto& event : watchers)
        event->set();
    return true;
}

void DeviceLists::watch(const std::weak_ptr<platform::Event>& changed)
{
    const std::lock_guard lock(m_lock);
    m_watchers.push_back(changed);
    for (SyncDevice* device : m_devices)
        device->watchChanges(changed);
}

std::span<SyncDevice*> DeviceLists::collect(std::span<const detect::DeviceKind> kinds,
                                            std::array<SyncDevice*, kMaxDevices>& out) const
{
    const std::lock_guard lock(m_lock);
    std::size_t count = 0;
    for (detect::DeviceKind kind : kinds) {
        for (SyncDevice* device : m_devices) {
            if (device->kind() == kind && count < out.size())
                out[count++] = device;
        }
    }
    return std::span(out.data(), count);
}

SyncDevice* DeviceLists::first(detect::DeviceKind kind) const
{
    const std::lock_guard lock(m_lock);
    for (SyncDevice* device : m_devices) {
        if (device->kind() == kind)
            return device;
    }
    return nullptr;
}

} // namespace app::lighting_sync
