#pragma once

#include "app/lighting_sync/sync_device.h"

#include <chrono>
#include <cstdint>

namespace app::lighting_sync {

// Game lighting: a game's event shows an effect on the active device, and the effect
// from before returns once no event came for kGameRestoreDelay. The main window calls
// these from its message handler and its timer; UI thread.
inline constexpr unsigned kGameRestoreTimerId = 1066;
inline constexpr std::chrono::milliseconds kGameRestoreDelay{5000};

// One game event. The caller (re)starts timer kGameRestoreTimerId with kGameRestoreDelay
// after every event, with or without an active device.
void handleGameEvent(SyncDevice* active, std::uint64_t step, std::int64_t mode);
// The timer fired (the caller has killed it): the remembered effect returns.
void restoreAfterGame(SyncDevice* active);

} // namespace app::lighting_sync
