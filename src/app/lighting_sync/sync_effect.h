#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace app::lighting_sync {

// The effect every device in synchronised mode shows: 0 breathing, 1 static, 2 blinking,
// 3 spectrum, 4 off. Written by the same-lighting command on the UI thread, read by the
// synchronised-lighting thread.
struct SyncSettings {
    std::atomic<std::uint8_t> mode{0};
    std::atomic<std::uint8_t> speed{0};
    std::atomic<std::uint8_t> brightness{0};
    std::atomic<std::uint8_t> directionUp{0};
    std::atomic<std::uint8_t> colourCycle{0};
    std::atomic<std::uint8_t> red{0};
    std::atomic<std::uint8_t> green{0};
    std::atomic<std::uint8_t> blue{0};
};

inline constexpr int kSyncModeCount = 5;

// Steps the synchronised effect. Pure apart from the clock reading it is given: the state
// carries from one run of an effect to the next, as the lights expect.
class SyncEffect {
public:
    // Counted system ticks between two steps of the current settings (0: every tick);
    // nullopt for a mode that computes nothing.
    static std::optional<int> threshold(const SyncSettings& settings);
    // One step: the colour word for every light, red | green << 8 | blue << 16 |
    // brightness << 24. `now` is the time the blink compares with its last toggle.
    std::uint32_t step(const SyncSettings& settings, std::chrono::milliseconds now);

private:
    std::uint8_t m_breath = 0;
    std::uint8_t m_wheel = 0;
    std::uint8_t m_blink = 0;
    bool m_blinkOn = false;
    std::chrono::milliseconds m_lastToggle{0};
    std::uint8_t m_spectrum = 0;
};

// The byte stepper the effects share: up adds and wraps to 0 at the limit; down subtracts
// while the result stays below the limit, else restarts at limit - delta.
[[nodiscard]] std::uint8_t stepByte(bool up, int limit, std::uint8_t value, int delta);

} // namespace app::lighting_sync
