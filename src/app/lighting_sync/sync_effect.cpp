#include "app/lighting_sync/sync_effect.h"

#include "device/model/lighting_tables.h"

namespace app::lighting_sync {
namespace {

constexpr std::chrono::milliseconds kBlinkUnit{200};

std::uint32_t colourWord(model::Rgb colour, std::uint8_t brightness)
{
    return std::uint32_t(colour.red) | std::uint32_t(colour.green) << 8 |
           std::uint32_t(colour.blue) << 16 | std::uint32_t(brightness) << 24;
}

model::Rgb fixedColour(const SyncSettings& settings)
{
    return {settings.red.load(std::memory_order_relaxed),
            settings.green.load(std::memory_order_relaxed),
            settings.blue.load(std::memory_order_relaxed)};
}

} // namespace

std::uint8_t stepByte(bool up, int limit, std::uint8_t value, int delta)
{
    if (up) {
        const int next = value + delta;
        return next >= limit ? 0 : static_cast<std::uint8_t>(next);
    }
    const auto next = static_cast<std::uint8_t>(value - delta);
    return next < limit ? next : static_cast<std::uint8_t>(limit - delta);
}

std::optional<int> SyncEffect::threshold(const SyncSettings& settings)
{
    if (settings.mode.load(std::memory_order_relaxed) >= kSyncModeCount)
        return std::nullopt;
    // Every mode's row is the same: the blink half-periods, 0 past speed 4.
    return model::blinkHalfPeriod(settings.speed.load(std::memory_order_relaxed));
}

std::uint32_t SyncEffect::step(const SyncSettings& settings, std::chrono::milliseconds now)
{
    const std::uint8_t level =
        model::brightnessLevel(settings.brightness.load(std::memory_order_relaxed));
    const bool cycle = settings.colourCycle.load(std::memory_order_relaxed) != 0;
    switch (settings.mode.load(std::memory_order_relaxed)) {
    case 0: {
        m_breath = stepByte(settings.directionUp.load(std::memory_order_relaxed) != 0,
                            model::kBreathingSize, m_breath, 1);
        model::Rgb colour = fixedColour(settings);
        if (cycle) {
            if (m_breath < 2)
                m_wheel = stepByte(true, model::kWheelSize, m_wheel, 16);
            colour = model::wheelColour(m_wheel);
        }
        return colourWord(colour,
                          static_cast<std::uint8_t>(level * model::breathingCurve(m_breath) >> 8));
    }
    case 1:
        return colourWord(fixedColour(settings), level);
    case 2: {
        const int halfPeriod = threshold(settings).value_or(0);
        if (now - m_lastToggle >= halfPeriod * kBlinkUnit) {
            m_blinkOn = !m_blinkOn;
            m_lastToggle = now;
            m_blink = static_cast<std::uint8_t>(m_blink + 14);
            if (m_blink >= model::kWheelSize)
                m_blink = 0;
        }
        if (!m_blinkOn)
            return 0;
        return colourWord(cycle ? model::wheelColour(m_blink) : fixedColour(settings), level);
    }
    case 3:
        m_spectrum = stepByte(true, model::kWheelSize, m_spectrum, 1);
        return colourWord(model::wheelColour(m_spectrum), level);
    default:
        return 0;
    }
}

} // namespace app::lighting_sync
