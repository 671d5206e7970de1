// The steps of the built-in effect modes that paint from the phase, the tables and the
// per-light state. The ripple modes are in effect_ripples.cpp, the audio styles in
// audio_styles.cpp.
#include "device/model/lighting_engine.h"

#include "device/model/lighting_tables.h"

#include <algorithm>

namespace model {

namespace {

std::uint8_t scaled(int level, int value)
{
    return std::uint8_t(level * value / 256);
}

} // namespace

void LightingEngine::stepColumnWave()
{
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int column = 0; column < kGridColumns; ++column) {
        if (multiColour())
            paintColumn(column, wheelColour(m_phase + 7 * column), level());
        else
            paintColumn(column, m_settings.colour(),
                        scaled(level(), waveCurve(m_phase + 7 * column)));
    }
}

void LightingEngine::stepColumnWaveSecond()
{
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int column = 0; column < kGridColumns; ++column) {
        if (multiColour())
            paintColumn(column, wheelColour(m_phase + 2 * column), level());
        else
            paintColumn(column, m_settings.colour(), scaled(level(), fadeCurve(m_phase + column)));
    }
}

void LightingEngine::stepSweep()
{
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int position = 0; position < int(kLightCount); ++position) {
        const int light = kSweepOrder[position];
        if (light == kNoLight)
            break;
        if (multiColour())
            m_lights.set(light, wheelColour(m_phase + 5 * position), level());
        else
            m_lights.set(light, m_settings.colour(),
                         scaled(level(), waveCurve(m_phase + 5 * position)));
    }
}

void LightingEngine::stepSpectrum()
{
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    fill(wheelColour(m_phase), level());
}

void LightingEngine::stepBreathing(bool fourColours)
{
    const std::uint8_t previous = m_phase;
    m_phase = stepPhase(forward(), kBreathingSize, m_phase, 1);
    const bool newBreath = forward() ? m_phase < previous : m_phase > previous;
    const std::uint8_t brightness = scaled(level(), breathingCurve(m_phase));
    if (fourColours) {
        if (newBreath)
            m_colourIndex = std::uint8_t((m_colourIndex + 1) % kFourColours.size());
        fill(kFourColours[m_colourIndex % kFourColours.size()], brightness);
    } else if (multiColour()) {
        for (int column = 0; column < kGridColumns; ++column)
            paintColumn(column, wheelColour(7 * column), brightness);
    } else {
        fill(m_settings.colour(), brightness);
    }
}

void LightingEngine::stepStatic()
{
    if (!multiColour())
        return fill(m_settings.colour(), level());
    for (int ring = 0; ring < kRingCount; ++ring) {
        int entry = 150 - 12 * (ring + 1);
        if (entry < 0)
            entry += 150;
        for (std::uint8_t light : kRingGrid[ring]) {
            if (isInSweepOrder(light))
                m_lights.set(light, wheelColour(entry), level());
        }
    }
}

void LightingEngine::stepDark()
{
    paintAllByIntensity();
}

void LightingEngine::stepSparkle()
{
    for (int i = 0; i < 6; ++i) {
        const int light = kSweepOrder[m_random() % 111];
        if (light == kNoLight)
            continue;
        m_intensity[light] = 255;
        m_hue[light] = std::uint8_t(randomHue());
    }
    fadeAndPaintAll();
}

void LightingEngine::stepHues()
{
    for (int light = 0; light < int(kLightCount); ++light) {
        m_hue[light] = stepPhase(true, kWheelSize, m_hue[light], 1);
        m_lights.set(light, wheelColour(m_hue[light]), level());
    }
}

void LightingEngine::stepRowWave()
{
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int row = 0; row < kGridRows; ++row) {
        const Rgb colour = wheelColour(m_phase + 24 * row);
        for (int column = 0; column < kGridColumns; ++column) {
            const int light = gridLight(column, row);
            if (light != kNoLight)
                m_lights.set(light, colour, level());
        }
    }
}

void LightingEngine::stepKeyBreathing(bool ownPhase)
{
    // The first form keeps each light's phase in its intensity and moves it by 2, the
    // second keeps a phase of its own and moves it by 1.
    auto& phases = ownPhase ? m_lightPhase : m_intensity;
    const int amount = ownPhase ? 1 : 2;
    for (std::uint8_t light : kSweepOrder) {
        if (light == kNoLight)
            break;
        int phase = phases[light] + amount;
        if (phase >= kFadeSize) {
            phase = 0;
            m_hue[light] = std::uint8_t(randomHue());
        }
        phases[light] = std::uint8_t(phase);
        const Rgb colour = multiColour() ? wheelColour(m_hue[light]) : m_settings.colour();
        m_lights.set(light, colour, scaled(level(), fadeCurve(phase)));
    }
}

void LightingEngine::stepOneColour()
{
    // The keyboard turns its wheel by itself, starting from the variant's colour; the
    // picture turns with it, one entry a step.
    static constexpr int kEntries[] = {174, 25, 70, 95};
    const int variant = m_settings.direction <= 3 ? m_settings.direction : 0;
    fill(wheelColour(kEntries[variant] + m_phase), level());
    m_phase = stepPhase(true, kWheelSize, m_phase, 1);
}

void LightingEngine::stepRings()
{
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int ring = 0; ring < kRingCount; ++ring) {
        const Rgb colour = wheelColour(m_phase + 7 * ring);
        for (std::uint8_t light : kRingGrid[ring]) {
            if (isInSweepOrder(light))
                m_lights.set(light, colour, level());
        }
    }
}

void LightingEngine::stepCustom()
{
    // The colours stay as loaded or painted key by key; only the level applies.
    for (std::size_t light = 0; light < kLightCount; ++light)
        m_lights.set(light, m_lights.get(light).rgb(), level());
}

void LightingEngine::stepTrail()
{
    // Positions 0-169 of the trail order, then one step without a head.
    constexpr int kPositions = int(kLightCount) + 1;
    const int step = m_phase % kPositions;
    if (step < int(kLightCount)) {
        const int position = forward() ? step : int(kLightCount) - 1 - step;
        const int light = kTrailOrder[position];
        if (light != kNoLight)
            m_intensity[light] = 254;
    }
    m_phase = std::uint8_t((step + 1) % kPositions);
    fadeAndPaintSweep();
}

void LightingEngine::stepBlink(Milliseconds now, bool fourColours)
{
    const Milliseconds halfPeriod{blinkHalfPeriod(m_settings.speed) * 200};
    if (now - m_blinkAt >= halfPeriod) {
        m_blinkOn = !m_blinkOn;
        m_blinkAt = now;
        if (m_blinkOn)
            m_colourIndex = fourColours ? std::uint8_t((m_colourIndex + 1) % kFourColours.size())
                                        : stepPhase(true, kWheelSize, m_colourIndex, 16);
    }
    if (!m_blinkOn)
        return fill(Rgb{}, 0);
    if (fourColours)
        fill(kFourColours[m_colourIndex % kFourColours.size()], level());
    else
        fill(multiColour() ? wheelColour(m_colourIndex) : m_settings.colour(), level());
}

void LightingEngine::stepRain()
{
    m_phase = stepPhase(forward(), kRainSteps, m_phase, 1);
    for (std::uint8_t light : kRainPath[m_phase % kRainSteps]) {
        if (light == kNoLight)
            continue;
        m_intensity[light] = 255;
        m_hue[light] = 0;
    }
    for (int light = 0; light < int(kLightCount); ++light) {
        m_intensity[light] = std::uint8_t(m_intensity[light] > 5 ? m_intensity[light] - 5 : 0);
        if (m_hue[light] != 255)
            m_hue[light] = std::uint8_t(std::min(m_hue[light] + 3, 255));
        if (multiColour())
            m_lights.set(light, wheelColour(m_hue[light]), level());
        else
            m_lights.set(light, m_settings.colour(), scaled(level(), m_intensity[light]));
    }
}

void LightingEngine::stepExternal()
{
    fill({std::uint8_t(m_external[0]), std::uint8_t(m_external[1]), std::uint8_t(m_external[2])},
         level());
}

} // namespace model
