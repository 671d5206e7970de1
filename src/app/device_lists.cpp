#include "app/device_lists.h"

#include "platform/debug_output.h"

namespace app {

DeviceLists::DeviceLists()
{
    for (auto& list : m_lists)
        list.reserve(kCapacity);
}

std::optional<detect::DeviceKind> DeviceLists::kindOf(detect::DeviceTypeId type)
{
    using detect::DeviceKind;
    using detect::DeviceTypeId;
    switch (type) {
    case DeviceTypeId::KeyboardCable:
    case DeviceTypeId::KeyboardReceiver:
        return DeviceKind::Keyboard;
    case DeviceTypeId::MouseCable:
    case DeviceTypeId::MouseReceiver:
        return DeviceKind::Mouse;
    case DeviceTypeId::MousePad:
        return DeviceKind::MousePad;
    case DeviceTypeId::Headset:
        return DeviceKind::Headset;
    }
    return std::nullopt;
}

std::optional<std::size_t> DeviceLists::slotOf(detect::DeviceKind kind)
{
    const auto slot = static_cast<std::size_t>(kind);
    if (slot >= kKindCount)
        return std::nullopt;
    return slot;
}

bool DeviceLists::add(detect::DeviceKind kind, shell::ShellDevice* device)
{
    const auto slot = slotOf(kind);
    if (!slot) {
        platform::debugOutput(L"device of no known kind; device not listed");
        return false;
    }
    std::lock_guard guard(m_lock);
    auto& list = m_lists[*slot];
    if (list.size() >= kCapacity) {
        platform::debugOutput(L"device list full; device not listed");
        return false;
    }
    list.push_back(device);
    return true;
}

std::vector<shell::ShellDevice*> DeviceLists::list(detect::DeviceKind kind) const
{
    const auto slot = slotOf(kind);
    if (!slot)
        return {};
    std::lock_guard guard(m_lock);
    return m_lists[*slot];
}

shell::ShellDevice* DeviceLists::first(detect::DeviceKind kind) const
{
    const auto slot = slotOf(kind);
    if (!slot)
        return nullptr;
    std::lock_guard guard(m_lock);
    const auto& list = m_lists[*slot];
    return list.empty() ? nullptr : list.front();
}

void DeviceLists::forEach(std::initializer_list<detect::DeviceKind> kinds,
                          const std::function<void(shell::ShellDevice&)>& action) const
{
    for (const detect::DeviceKind kind : kinds) {
        for (shell::ShellDevice* device : list(kind))
            action(*device);
    }
}

void DeviceLists::clear()
{
    std::lock_guard guard(m_lock);
    for (auto& list : m_lists)
        list.clear();
}

} // namespace app
