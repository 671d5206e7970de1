#include "device/model/lighting_engine.h"

#include "device/model/lighting_tables.h"

#include <algorithm>

namespace model {

namespace {

constexpr int kCustomMode = 20;
constexpr int kAudioMode = 29;
constexpr int kRainMode = 24;
// About a second: a pass that can change nothing need not come sooner.
constexpr int kIdleTicks = 64;
constexpr int kOneColourMode = 17;

// Threshold rows that are not the mode's own number.
int thresholdRow(int mode)
{
    switch (mode) {
    case 26:
        return 5;
    case 27:
        return 23;
    default:
        return mode;
    }
}

} // namespace

LightingEngine::LightingEngine(std::uint32_t seed) : m_random(seed)
{
    m_held.fill(true);
}

void LightingEngine::showLighting(const LightingProfile& profile)
{
    m_audio = profile.audio;
    setCustomColours(profile.customColours);
    setSettings(profile.settings);
    setOverlay(profile.overlay);
    if (m_settings.mode == kRainMode)
        m_hue.fill(0);
    m_phase = 0;
    setEffectSteps(profile.effectSteps);
}

void LightingEngine::setSettings(const EffectSettings& settings)
{
    const int previousMode = m_settings.mode;
    m_settings = settings;
    // The custom mode restarts every time so that freshly loaded colours show.
    if (settings.mode != previousMode || settings.mode == kCustomMode) {
        resetEffects();
        startStep();
    }
}

void LightingEngine::setOverlay(std::span<const OverlayEntry> entries)
{
    const std::size_t count = std::min(entries.size(), kLightCount);
    m_overlay.assign(entries.begin(), entries.begin() + count);
    for (auto& lights : m_overlayByKind)
        lights.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const OverlayEntry& entry = m_overlay[i];
        if (entry.isNull() || entry.mode > 4)
            continue;
        if ((entry.mode == 0 || entry.mode == 3) && !entry.present)
            continue;
        m_overlayByKind[entry.mode].push_back(int(i));
    }
    m_keyState.fill(KeyState{});
}

void LightingEngine::setEffectSteps(std::vector<EffectStep> steps)
{
    m_steps = std::move(steps);
    m_stepIndex = 0;
    m_stepStartedAt.reset();
}

void LightingEngine::setCustomColours(std::span<const Rgb> colours)
{
    m_customColours.fill(Rgb{});
    std::copy_n(colours.begin(), std::min(colours.size(), kLightCount), m_customColours.begin());
}

void LightingEngine::paintCustomKey(std::size_t light, Rgb colour)
{
    if (m_settings.mode == kCustomMode && light < kLightCount)
        m_lights.set(light, colour, level());
}

void LightingEngine::resetEffects()
{
    m_phase = 0;
    m_matrix.clear();
    m_intensity.fill(0);
    m_hue.fill(0);
    m_bands.fill(0);
    m_held.fill(true);
}

void LightingEngine::startStep()
{
    switch (m_settings.mode) {
    case 13:
        m_matrix.seedCell(9, 6);
        break;
    case 15:
        startPhaseSeeds();
        break;
    case 16:
        m_matrix.seedCell(1, 0);
        break;
    case kCustomMode:
        startCustomColours();
        startHueSums();
        break;
    case 22:
        startColumnPhases();
        break;
    default:
        startHueSums();
        break;
    }
}

void LightingEngine::startHueSums()
{
    // A running sum that skips around the wheel, so neighbouring lights start far apart.
    std::uint8_t sum = 0;
    for (std::size_t light = 0; light < kLightCount; ++light) {
        sum = std::uint8_t(sum + (sum >= 160 && sum <= 222 ? 97 : 33));
        m_hue[light] = sum == kWheelSize ? 0 : sum;
    }
}

void LightingEngine::startPhaseSeeds()
{
    for (int column = 0; column < kGridColumns; ++column) {
        for (int row = 0; row < kWideGridRows; ++row) {
            const int light = wideGridLight(column, row);
            if (light == kWideNone)
                continue;
            m_intensity[light] = kPhaseSeeds[6 * column + row];
            m_hue[light] = std::uint8_t(7 * column);
        }
    }
}

void LightingEngine::startColumnPhases()
{
    for (int column = 0; column < kGridColumns; ++column) {
        int phase = kWheelSize - 8 * column;
        for (int row = 0; row < kWideGridRows; ++row) {
            phase -= 35;
            if (phase < 0)
                phase += 193;
            const int light = wideGridLight(column, row);
            if (light == kWideNone)
                continue;
            m_lightPhase[light] = std::uint8_t(phase);
            m_hue[light] = std::uint8_t(7 * column);
        }
    }
}

void LightingEngine::startCustomColours()
{
    for (std::size_t light = 0; light < kLightCount; ++light)
        m_lights.set(light, m_customColours[light], level());
}

bool LightingEngine::playsCustomEffect() const
{
    const int mode = m_settings.mode;
    return mode == 0 || mode == 19 || mode > 30;
}

int LightingEngine::threshold() const
{
    if (m_settings.mode == kAudioMode)
        return 2;
    return stepThreshold(thresholdRow(m_settings.mode), m_settings.speed);
}

bool LightingEngine::sendsLiveFrame() const
{
    switch (m_settings.mode) {
    case 7:
    case 8:
    case 9:
    case 16:
    case 17:
    case 18:
    case kCustomMode:
        return false;
    default:
        return true;
    }
}

int LightingEngine::runPass(Milliseconds now, int elapsedTicks)
{
    int waitTicks = 1;
    if (playsCustomEffect()) {
        playCustomEffect(now);
        // Without steps the frame stays dark until something changes.
        if (m_steps.empty())
            waitTicks = kUntilChanged;
    } else {
        m_tickCounter = std::min(m_tickCounter + std::max(elapsedTicks, 0), 1 << 20);
        const int ticks = threshold();
        if (m_tickCounter >= ticks) {
            stepMode(now);
            m_tickCounter = 0;
        }
        waitTicks = std::max(1, ticks - m_tickCounter);
        // The keyboard plays these itself, so the pass need not come back at the mode's pace:
        // the custom colours stay as they are until changed; the one colour's picture turns
        // a wheel entry at a time.
        if (m_settings.mode == kCustomMode)
            waitTicks = kUntilChanged;
        else if (m_settings.mode == kOneColourMode)
            waitTicks = std::max(waitTicks, kIdleTicks);
    }
    applyOverlay(now);
    // Breathing, blinking and cycling keys change on every pass.
    if (!m_overlayByKind[0].empty() || !m_overlayByKind[2].empty() || !m_overlayByKind[3].empty())
        waitTicks = 1;
    return waitTicks;
}

void LightingEngine::stepMode(Milliseconds now)
{
    switch (m_settings.mode) {
    case 1:
        return stepColumnWave();
    case 2:
        return stepColumnWaveSecond();
    case 3:
        return stepSweep();
    case 4:
        return stepSpectrum();
    case 5:
        return stepBreathing(false);
    case 6:
        return stepStatic();
    case 7:
    case 25:
        return stepDark();
    case 8:
        return stepRipple(true);
    case 9:
        return stepRipple(false);
    case 10:
        return stepSparkle();
    case 11:
        return stepHues();
    case 12:
        return stepRowWave();
    case 13:
        return stepRisingRipple();
    case 14:
        return stepShow();
    case 15:
        return stepKeyBreathing(false);
    case 16:
        return stepBouncingRipple();
    case 17:
        return stepOneColour();
    case 18:
        return stepRings();
    case kCustomMode:
        return stepCustom();
    case 21:
        return stepTrail();
    case 22:
        return stepKeyBreathing(true);
    case 23:
        return stepBlink(now, false);
    case kRainMode:
        return stepRain();
    case 26:
        return stepBreathing(true);
    case 27:
        return stepBlink(now, true);
    case 28:
        return fill(Rgb{}, 0);
    case kAudioMode:
        return stepAudio();
    case 30:
        return stepExternal();
    default:
        return playCustomEffect(now);
    }
}

std::uint8_t LightingEngine::level() const
{
    return brightnessLevel(m_settings.brightness);
}

void LightingEngine::fill(Rgb colour, std::uint8_t brightness)
{
    m_lights.fill(LightColour{colour.red, colour.green, colour.blue, brightness});
}

void LightingEngine::fade(int light, int mode)
{
    m_intensity[light] = std::uint8_t(m_intensity[light] - fadeAmount(m_intensity[light], mode));
}

void LightingEngine::paintByIntensity(int light)
{
    const Rgb colour = multiColour() ? wheelColour(m_hue[light]) : m_settings.colour();
    m_lights.set(light, colour, std::uint8_t(level() * m_intensity[light] / 256));
}

void LightingEngine::paintAllByIntensity()
{
    for (int light = 0; light < int(kLightCount); ++light)
        paintByIntensity(light);
}

void LightingEngine::fadeAndPaintAll()
{
    for (int light = 0; light < int(kLightCount); ++light) {
        fade(light, m_settings.mode);
        paintByIntensity(light);
    }
}

void LightingEngine::fadeAndPaintSweep()
{
    for (std::uint8_t light : kSweepOrder) {
        if (light == kNoLight)
            break;
        fade(light, m_settings.mode);
        paintByIntensity(light);
    }
}

void LightingEngine::paintColumn(int column, Rgb colour, std::uint8_t brightness)
{
    for (int row = 0; row < kGridRows; ++row) {
        const int light = gridLight(column, row);
        if (light != kNoLight)
            m_lights.set(light, colour, brightness);
    }
}

int LightingEngine::randomHue()
{
    return int(m_random() % kWheelSize);
}

} // namespace model
