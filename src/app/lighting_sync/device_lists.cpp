#include "app/lighting_sync/device_lists.h"

namespace app::lighting_sync {

bool DeviceLists::add(SyncDevice* device)
{
    const std::lock_guard lock(m_lock);
    if (device == nullptr || m_devices.size() >= kMaxDevices)
        return false;
    m_devices.push_back(device);
    return true;
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
