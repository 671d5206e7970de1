#include "app/lighting_sync/game_lighting.h"

namespace app::lighting_sync {
namespace {

constexpr int kHighestRememberedMode = 20;

} // namespace

void handleGameEvent(SyncDevice* active, std::uint64_t step, std::int64_t mode)
{
    if (active == nullptr || step > 2)
        return;
    active->setLightingSync(false);
    active->showEffectMode(static_cast<int>(mode));
    profile::LightInfo settings = active->lightSettings();
    // Only the first event of a game remembers the effect; later ones keep it.
    if (step == 0)
        settings.oldLedMode =
            settings.mode == 0 || settings.mode > kHighestRememberedMode ? 1 : settings.mode;
    settings.mode = static_cast<std::uint8_t>(mode & 0xFF);
    active->writeLighting(settings);
}

void restoreAfterGame(SyncDevice* active)
{
    if (active == nullptr)
        return;
    active->setLightingSync(false);
    profile::LightInfo settings = active->lightSettings();
    active->showEffectMode(settings.oldLedMode);
    settings.mode = settings.oldLedMode;
    active->writeLighting(settings);
}

} // namespace app::lighting_sync
