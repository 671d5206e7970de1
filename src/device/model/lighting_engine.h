#pragma once

#include "device/model/bit_matrix.h"
#include "device/model/light_colours.h"
#include "device/model/lighting_types.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

namespace model {

// Computes the keyboard's host-driven lighting step by step: the built-in effect modes, the
// audio styles, the external colour, the per-key overlay and the custom effect player.
// Pure: no device, no thread; time comes in as a millisecond count from any steady origin.
// Not thread-safe: LightingThread serialises access; only lights() may be touched freely.
class LightingEngine {
public:
    using Milliseconds = std::chrono::milliseconds;

    static constexpr int kBandCount = 25;
    static constexpr int kExternalCount = 6;

    explicit LightingEngine(std::uint32_t seed = 1);

    LightColourList& lights() { return m_lights; }
    const LightColourList& lights() const { return m_lights; }
    void seed(std::uint32_t seed) { m_random.seed(seed); }

    // Applies a profile's lighting: settings, audio values, per-key entries, custom colours
    // and custom effect. The effect restarts when the mode changed or is the custom mode 20.
    void showLighting(const LightingProfile& profile);
    // New settings (from the device's state or a page); restarts on the same rule.
    void setSettings(const EffectSettings& settings);
    const EffectSettings& settings() const { return m_settings; }
    void setAudioSettings(const AudioSettings& audio) { m_audio = audio; }
    void setOverlay(std::span<const OverlayEntry> entries);
    void setEffectSteps(std::vector<EffectStep> steps);
    void setCustomColours(std::span<const Rgb> colours);
    // Paints one light in the custom mode: its colour at the current brightness level.
    void paintCustomKey(std::size_t light, Rgb colour);

    // The 25 audio band values; in audio style 2 they also drive the ripple seeding.
    void setAudioSpectrum(std::span<const std::int32_t> values);
    // Six values from another program; the first three are the colour of mode 30.
    void setExternalColour(std::span<const std::int32_t> values);

    void resetEffects();
    // The start step of the current mode (after resetEffects).
    void startStep();
    // One step of the current mode; modes 0, 19 and above 30 play the custom effect.
    void stepMode(Milliseconds now);
    // Lays the per-key entries over the frame.
    void applyOverlay(Milliseconds now);

    // One pass of the lighting thread after `elapsedTicks` counted ticks: the mode's step when
    // its threshold is reached (every pass for the custom effect), then the overlay.
    // Returns how many ticks can pass before a pass may change anything (at least 1), or
    // kUntilChanged when only a change to the engine can (every change wakes the thread).
    int runPass(Milliseconds now, int elapsedTicks);
    // An hour of ticks: long enough to mean "never", short enough for deadline arithmetic.
    static constexpr int kUntilChanged = 64 * 3600;
    // Ticks between two steps of the current mode at its speed.
    int threshold() const;
    bool playsCustomEffect() const;
    // No live frame while the device shows this mode by itself.
    bool sendsLiveFrame() const;

    // Effect state, readable for tests and previews.
    std::uint8_t intensity(std::size_t light) const { return m_intensity[light]; }
    std::uint8_t hue(std::size_t light) const { return m_hue[light]; }
    std::uint8_t phase() const { return m_phase; }
    const BitMatrix& matrix() const { return m_matrix; }
    BitMatrix& matrix() { return m_matrix; }
    std::int32_t styleTwoAccumulator() const { return m_styleTwoAccumulator; }

private:
    struct KeyState {
        int phase = 0;
        int colourIndex = 0;
        int counter = 0;
        Milliseconds toggledAt{0};
        bool on = false;
    };

    // Painting helpers.
    std::uint8_t level() const;
    bool forward() const { return m_settings.direction != 0; }
    bool multiColour() const { return m_settings.multiColour != 0; }
    void fill(Rgb colour, std::uint8_t brightness);
    void fade(int light, int mode);
    void paintByIntensity(int light);
    void paintAllByIntensity();
    void fadeAndPaintAll();
    void fadeAndPaintSweep();
    void paintColumn(int column, Rgb colour, std::uint8_t brightness);
    int randomHue();

    // Start steps.
    void startHueSums();
    void startPhaseSeeds();
    void startColumnPhases();
    void startCustomColours();

    // Mode steps.
    void stepColumnWave();
    void stepColumnWaveSecond();
    void stepSweep();
    void stepSpectrum();
    void stepBreathing(bool fourColours);
    void stepStatic();
    void stepDark();
    void stepRipple(bool advanceHues);
    void stepSparkle();
    void stepHues();
    void stepRowWave();
    void stepRisingRipple();
    void stepShow();
    void stepKeyBreathing(bool ownPhase);
    void stepBouncingRipple();
    void stepOneColour();
    void stepRings();
    void stepCustom();
    void stepTrail();
    void stepBlink(Milliseconds now, bool fourColours);
    void stepRain();
    void stepExternal();
    void paintMatrix(bool randomHues);

    // Audio styles.
    void stepAudio();
    std::array<std::int32_t, kBandCount> takeBands();
    void audioBars();
    void audioCentreBars();
    void audioRipple();
    void audioRings();
    void audioDrops();
    void audioRowBars();
    void audioAlternatingBars();
    void paintAudioLight(int light, bool lit, int colourIndex);

    // Custom effect.
    void playCustomEffect(Milliseconds now);

    EffectSettings m_settings;
    AudioSettings m_audio;
    LightColourList m_lights;

    std::uint8_t m_phase = 0;
    std::uint8_t m_colourIndex = 0;
    bool m_blinkOn = false;
    Milliseconds m_blinkAt{0};
    std::array<std::uint8_t, kLightCount> m_intensity{};
    std::array<std::uint8_t, kLightCount> m_hue{};
    std::array<std::uint8_t, kLightCount> m_lightPhase{};
    BitMatrix m_matrix;
    std::array<std::int32_t, kBandCount> m_bands{};
    std::uint8_t m_bandOffset = 0;
    std::array<bool, kGridColumns> m_held{};
    std::array<std::int32_t, kExternalCount> m_external{};
    std::array<Rgb, kLightCount> m_customColours{};
    int m_tickCounter = 0;

    // Kept across resets and mode changes: the device object owning this engine lives for the
    // whole run, so these behave as the process-wide counters they stand for.
    std::int32_t m_styleTwoAccumulator = 0;
    int m_customPassCounter = 0;

    std::vector<OverlayEntry> m_overlay;
    std::array<std::vector<int>, 5> m_overlayByKind; // light indices, by entry mode 0-4
    std::array<KeyState, kLightCount> m_keyState{};

    std::vector<EffectStep> m_steps;
    std::size_t m_stepIndex = 0;
    std::optional<Milliseconds> m_stepStartedAt;

    std::mt19937 m_random;
};

} // namespace model
