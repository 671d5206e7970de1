#include "app/lighting_sync/same_lighting.h"

#include <array>

namespace app::lighting_sync {
namespace {

using Codes = std::array<int, kSyncModeCount>;

const Codes& codesOf(detect::DeviceKind kind)
{
    static constexpr Codes kKeyboard{5, 6, 23, 4, 28};
    static constexpr Codes kMouse{2, 3, 4, 1, 9};
    static constexpr Codes kOthers{2, 3, 4, 1, 8};
    switch (kind) {
    case detect::DeviceKind::Keyboard:
        return kKeyboard;
    case detect::DeviceKind::Mouse:
        return kMouse;
    default:
        return kOthers;
    }
}

} // namespace

std::optional<int> sharedEffect(detect::DeviceKind kind, int mode)
{
    const Codes& codes = codesOf(kind);
    for (int shared = 0; shared < kSyncModeCount; ++shared) {
        if (codes[static_cast<std::size_t>(shared)] == mode)
            return shared;
    }
    return std::nullopt;
}

int effectCodeFor(detect::DeviceKind kind, int shared)
{
    return codesOf(kind)[static_cast<std::size_t>(shared % kSyncModeCount)];
}

bool applySameLighting(SyncDevice* active, const DeviceLists& devices, SyncSettings& settings)
{
    if (active == nullptr)
        return false;
    const profile::LightInfo source = active->lightSettings();
    const std::optional<int> shared = sharedEffect(active->kind(), source.mode);
    if (!shared)
        return false;
    constexpr auto relaxed = std::memory_order_relaxed;
    settings.mode.store(static_cast<std::uint8_t>(*shared), relaxed);
    settings.brightness.store(source.brightness, relaxed);
    settings.speed.store(source.speed, relaxed);
    settings.directionUp.store(source.direction, relaxed);
    settings.colourCycle.store(source.multiColour, relaxed);
    settings.red.store(source.red, relaxed);
    settings.green.store(source.green, relaxed);
    settings.blue.store(source.blue, relaxed);

    static constexpr std::array kOrder{detect::DeviceKind::Keyboard, detect::DeviceKind::Mouse,
                                       detect::DeviceKind::MousePad, detect::DeviceKind::Headset};
    std::array<SyncDevice*, DeviceLists::kMaxDevices> buffer{};
    for (SyncDevice* device : devices.collect(kOrder, buffer)) {
        if (!device->isOnline())
            continue;
        profile::LightInfo settingsForDevice = source;
        settingsForDevice.mode = static_cast<std::uint8_t>(effectCodeFor(device->kind(), *shared));
        device->setLightingSync(true);
        device->showOnPage(settingsForDevice);
        device->writeLighting(settingsForDevice);
    }
    return true;
}

} // namespace app::lighting_sync
