// The custom effect player: the timed steps of an effect file, played while no built-in
// mode is selected.
#include "device/model/lighting_engine.h"

#include "device/model/lighting_tables.h"

namespace model {

namespace {

enum StepKind { Breathing = 0, Static = 1, Blink = 2, Wave = 4, Spectrum = 5 };
constexpr int kSpectrumRow = 5;

} // namespace

void LightingEngine::playCustomEffect(Milliseconds now)
{
    if (m_steps.empty())
        return fill(Rgb{}, 0);
    if (m_stepIndex >= m_steps.size())
        m_stepIndex = 0;
    const EffectStep& step = m_steps[m_stepIndex];
    if (!m_stepStartedAt)
        m_stepStartedAt = now;

    ++m_customPassCounter;
    const bool counted = m_customPassCounter >= passThreshold(step.speed);
    const std::uint8_t stepLevel = brightnessLevel(step.brightness);
    const Rgb colour = step.multiColour ? wheelColour(m_colourIndex) : step.colour();
    switch (step.mode) {
    case Breathing:
        if (counted) {
            m_customPassCounter = 0;
            m_phase = std::uint8_t((m_phase + 1) % kBreathingSize);
            if (m_phase == 0 && step.multiColour)
                m_colourIndex = stepPhase(true, kWheelSize, m_colourIndex, 16);
        }
        fill(colour, std::uint8_t(breathingCurve(m_phase) * stepLevel / 256));
        break;
    case Static:
        if (counted)
            m_customPassCounter = 0;
        fill(colour, stepLevel);
        break;
    case Blink: {
        // Blinks at the device's own speed, not the step's.
        const Milliseconds halfPeriod{blinkHalfPeriod(m_settings.speed) * 200};
        if (now - m_blinkAt >= halfPeriod) {
            m_blinkOn = !m_blinkOn;
            m_blinkAt = now;
            if (m_blinkOn && step.multiColour)
                m_colourIndex = stepPhase(true, kWheelSize, m_colourIndex, 14);
        }
        if (m_blinkOn)
            fill(colour, stepLevel);
        else
            fill(Rgb{}, 0);
        break;
    }
    case Wave:
        if (counted) {
            m_customPassCounter = 0;
            m_phase = stepPhase(step.direction == 0, kWheelSize, m_phase, 1);
        }
        for (int light = 0; light < int(kLightCount); ++light) {
            if (step.multiColour)
                m_lights.set(light, wheelColour(m_phase + 12 * light), stepLevel);
            else
                m_lights.set(light, step.colour(),
                             std::uint8_t(waveCurve(m_phase + 12 * (light + 1)) * stepLevel / 256));
        }
        break;
    case Spectrum:
        if (m_customPassCounter >= stepThreshold(kSpectrumRow, step.speed)) {
            m_customPassCounter = 0;
            m_colourIndex = stepPhase(true, kWheelSize, m_colourIndex, 1);
        }
        fill(wheelColour(m_colourIndex), stepLevel);
        break;
    default:
        break;
    }

    if (now - *m_stepStartedAt > Milliseconds(step.time)) {
        ++m_stepIndex;
        m_stepStartedAt = now;
    }
}

} // namespace model
