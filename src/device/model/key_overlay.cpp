// The profile's per-key entries, laid over whatever the effect painted.
#include "device/model/lighting_engine.h"

#include "device/model/lighting_tables.h"

namespace model {

namespace {

enum KeyKind { Breathing = 0, Static = 1, Blink = 2, Cycling = 3, Off = 4 };
// The order the kinds are laid down in.
constexpr KeyKind kKindOrder[] = {Breathing, Static, Cycling, Blink, Off};

constexpr int kLastColourIndex = kWheelSize - 1;

} // namespace

void LightingEngine::applyOverlay(Milliseconds now)
{
    for (KeyKind kind : kKindOrder) {
        for (int light : m_overlayByKind[kind]) {
            const OverlayEntry& entry = m_overlay[light];
            KeyState& state = m_keyState[light];
            const std::uint8_t entryLevel = brightnessLevel(entry.brightness);
            switch (kind) {
            case Breathing: {
                state.phase += entry.speed + 4;
                if (state.phase >= kBreathingSize) {
                    state.phase = 0;
                    // The colour walks once round the wheel and then stays on its last entry.
                    if (state.colourIndex < kLastColourIndex)
                        ++state.colourIndex;
                }
                const Rgb colour =
                    entry.multiColour ? wheelColour(state.colourIndex) : entry.colour();
                m_lights.set(light, colour,
                             std::uint8_t(breathingCurve(state.phase) * entryLevel / 256));
                break;
            }
            case Static:
                m_lights.set(light, entry.colour(), entryLevel);
                break;
            case Cycling:
                if (++state.counter >= passThreshold(entry.speed)) {
                    state.counter = 0;
                    state.colourIndex =
                        state.colourIndex >= kLastColourIndex ? 0 : state.colourIndex + 1;
                }
                m_lights.set(light, wheelColour(state.colourIndex), entryLevel);
                break;
            case Blink: {
                const Milliseconds halfPeriod{blinkHalfPeriod(entry.speed) * 200};
                if (now - state.toggledAt >= halfPeriod) {
                    state.on = !state.on;
                    state.toggledAt = now;
                    state.colourIndex += 14;
                    if (state.colourIndex >= kWheelSize)
                        state.colourIndex = 0;
                }
                if (state.on)
                    m_lights.set(
                        light, entry.multiColour ? wheelColour(state.colourIndex) : entry.colour(),
                        entryLevel);
                else
                    m_lights.set(light, Rgb{}, 0);
                break;
            }
            case Off:
                m_lights.set(light, Rgb{}, 0);
                break;
            }
        }
    }
}

} // namespace model
