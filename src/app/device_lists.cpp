#include "app/device_lists.h"

#include "platform/debug_output.h"

namespace app {

DeviceLists::DeviceLists()
{
    for (auto& list : m_lists)
        list.reserve(kCapacity);
}

std::optional<DeviceLists::Kind> DeviceLists::kindOf(detect::DeviceTypeId type)
{
    using detect::DeviceTypeId;
    switch (type) {
    case DeviceTypeId::KeyboardCable:
    case DeviceTypeId::KeyboardReceiver:
        return Kind::Keyboard;
    case DeviceTypeId::MouseCable:
    case DeviceTypeId::MouseReceiver:
        return Kind::Mouse;
    case DeviceTypeId::MousePad:
        return Kind::MousePad;
    case DeviceTypeId::Headset:
        return Kind::Headset;
    }
    return std::nullopt;
}

bool DeviceLists::add(Kind kind, shell::ShellDevice* device)
{
    std::lock_guard guard(m_lock);
    auto& list = m_lists[static_cast<std::size_t>(kind)];
    if (list.size() >= kCapacity) {
        platform::debugOutput(L"device list full; device not listed");
        return false;
    }
    list.push_back(device);
    return true;
}

std::vector<shell::ShellDevice*> DeviceLists::list(Kind kind) const
{
    std::lock_guard guard(m_lock);
    return m_lists[static_cast<std::size_t>(kind)];
}

shell::ShellDevice* DeviceLists::first(Kind kind) const
{
    std::lock_guard guard(m_lock);
    const auto& list = m_lists[static_cast<std::size_t>(kind)];
    return list.empty() ? nullptr : list.front();
}

void DeviceLists::forEach(std::initializer_list<Kind> kinds,
                          const std::function<void(shell::ShellDevice&)>& action) const
{
    for (const Kind kind : kinds) {
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
