#pragma once

#include "app/lighting_sync/device_lists.h"
#include "app/lighting_sync/sync_effect.h"

#include <optional>

namespace app::lighting_sync {

// The effect numbers the device kinds share for synchronised lighting (0 breathing,
// 1 static, 2 blinking, 3 spectrum, 4 off) and each kind's own effect code for them.
[[nodiscard]] std::optional<int> sharedEffect(detect::DeviceKind kind, int mode);
[[nodiscard]] int effectCodeFor(detect::DeviceKind kind, int shared);

// The same-lighting command: every online device takes the active device's effect and
// goes into synchronised mode. False (nothing changed) without an active device or when
// its effect has no shared number. UI thread.
bool applySameLighting(SyncDevice* active, const DeviceLists& devices, SyncSettings& settings);

} // namespace app::lighting_sync
