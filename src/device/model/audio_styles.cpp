// Mode 29 (lights following the audio bands), its inputs, and mode 30's external colour.
//
// Band values come from another program and may be any 32-bit value: the bar arithmetic
// runs in 64 bits and saturates, so hostile values give odd bars but never overflow.
#include "device/model/lighting_engine.h"

#include "device/model/lighting_tables.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace model {

namespace {

constexpr int kAudioMode = 29;
constexpr int kFullScale = 2000;

std::int64_t saturate(std::int64_t value)
{
    return std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
}

// How far a band is from the top: 600 for silence, 0 at full scale.
std::int64_t barDepth(std::int32_t value)
{
    return saturate(600 - std::int64_t(value) * 600 / kFullScale);
}

// The same, with a depth below 0 (louder than full scale) read as 500.
std::int64_t clippedDepth(std::int32_t value)
{
    const std::int64_t depth = barDepth(value);
    return depth < 0 ? 500 : depth;
}

std::int32_t groupValue(const std::array<std::int32_t, 25>& bands, int first, int count)
{
    std::int64_t sum = 0;
    for (int i = first; i < first + count; ++i)
        sum += bands[i];
    return std::int32_t(saturate(sum / 3));
}

} // namespace

void LightingEngine::setAudioSpectrum(std::span<const std::int32_t> values)
{
    m_bands.fill(0);
    std::copy_n(values.begin(), std::min<std::size_t>(values.size(), kBandCount), m_bands.begin());
    if (m_settings.mode != kAudioMode || m_audio.style != 2)
        return;
    // Style 2 throws a new ripple from the centre once enough sound has accumulated.
    std::int64_t depthSum = 0;
    for (std::int32_t value : takeBands())
        depthSum += clippedDepth(value);
    const std::int64_t mean = depthSum / kBandCount;
    const std::int64_t loudness = 25 - mean * 25 / 600;
    m_styleTwoAccumulator = std::int32_t(saturate(m_styleTwoAccumulator + loudness));
    if (m_styleTwoAccumulator > 70) {
        m_styleTwoAccumulator = 0;
        m_matrix.seedAtLight(51);
    }
}

void LightingEngine::setExternalColour(std::span<const std::int32_t> values)
{
    std::copy_n(values.begin(), std::min<std::size_t>(values.size(), kExternalCount),
                m_external.begin());
}

std::array<std::int32_t, LightingEngine::kBandCount> LightingEngine::takeBands()
{
    const auto bands = m_bands;
    m_bands.fill(0);
    return bands;
}

void LightingEngine::stepAudio()
{
    switch (m_audio.style) {
    case 0:
        return audioBars();
    case 1:
        return audioCentreBars();
    case 2:
        return audioRipple();
    case 3:
        return audioRings();
    case 4:
        return audioDrops();
    case 5:
        return audioRowBars();
    case 6:
        return audioAlternatingBars();
    default:
        return;
    }
}

void LightingEngine::paintAudioLight(int light, bool lit, int colourIndex)
{
    const Rgb colour = m_audio.multiColour ? wheelColour(colourIndex) : m_audio.foreground;
    if (lit) {
        m_intensity[light] = 255;
        m_lights.set(light, colour, std::uint8_t(level() * 255 / 256));
    } else if (m_intensity[light] > 9) {
        m_lights.set(light, colour, std::uint8_t(level() * m_intensity[light] / 256));
    } else {
        m_lights.set(light, m_audio.background, level());
    }
}

void LightingEngine::audioBars()
{
    const auto bands = takeBands();
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int column = 0; column < kGridColumns; ++column) {
        const std::int64_t top = (barDepth(bands[column]) + 100) * 6 / 600;
        const int colourIndex = (m_phase + 10 * (column + 1)) % kWheelSize;
        for (int row = 0; row < kGridRows; ++row) {
            const int light = gridLight(column, row);
            if (light == kNoLight)
                continue;
            const int above = gridLight(column, row - 1);
            if (!(row > 0 && above != kNoLight && m_intensity[above] >= 10))
                fade(light, kAudioMode);
            paintAudioLight(light, row >= top, colourIndex);
        }
    }
}

void LightingEngine::audioCentreBars()
{
    const auto bands = takeBands();
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    m_bandOffset = stepPhase(forward(), kBandCount, m_bandOffset, 1);
    for (int row = 0; row < kGridRows; ++row) {
        const std::int32_t left = bands[(m_bandOffset + 3 * (row + 1)) % kBandCount];
        const std::int32_t right = bands[11 + row];
        const std::int64_t leftLimit = (12 * clippedDepth(left) + 1200) / 600;
        const std::int64_t rightLimit = (12 * clippedDepth(right) + 1200) / 600;
        int colourIndex = m_phase;
        for (int column = 0; column < kGridColumns; ++column) {
            colourIndex = (colourIndex + 7) % kWheelSize;
            const int light = gridLight(column, row);
            if (light == kNoLight)
                continue;
            // Bars grow from the middle outwards, so a light stays lit while the light
            // outside it does.
            const int outer = column >= 1 && column <= 8    ? column - 1
                              : column >= 9 && column <= 20 ? column + 1
                                                            : -1;
            const int outerLight = gridLight(outer, row);
            if (!(outerLight != kNoLight && m_intensity[outerLight] >= 10))
                fade(light, kAudioMode);
            const bool lit =
                (column <= 8 && column >= leftLimit) || (column >= 9 && column <= 21 - rightLimit);
            paintAudioLight(light, lit, colourIndex);
        }
    }
}

void LightingEngine::audioRipple()
{
    paintMatrix(m_audio.multiColour != 0);
    m_matrix.spread();
    for (int light = 0; light < int(kLightCount); ++light) {
        fade(light, kAudioMode);
        m_hue[light] = stepPhase(true, kWheelSize, m_hue[light], 9);
        if (m_intensity[light] > 9) {
            const Rgb colour = m_audio.multiColour ? wheelColour(m_hue[light]) : m_audio.foreground;
            m_lights.set(light, colour, std::uint8_t(level() * m_intensity[light] / 256));
        } else {
            m_lights.set(light, m_audio.background, level());
        }
    }
}

void LightingEngine::audioRings()
{
    std::int64_t depthSum = 0;
    for (std::int32_t value : takeBands())
        depthSum += clippedDepth(value);
    const std::int64_t moves = (depthSum / kBandCount) * 20 / 600;
    m_phase =
        stepPhase(forward(), kWheelSize, m_phase, int(std::clamp<std::int64_t>(moves, 0, 255)));
    int colourIndex = m_phase;
    for (int ring = 0; ring < kRingCount; ++ring) {
        colourIndex = (colourIndex + 9) % kWheelSize;
        for (std::uint8_t light : kRingGrid[ring]) {
            if (!isInSweepOrder(light))
                continue;
            if (ring < 20 - moves) {
                m_intensity[light] = 255;
                m_hue[light] = std::uint8_t(colourIndex);
            } else {
                fade(light, 0);
            }
            m_lights.set(light, wheelColour(m_hue[light]),
                         std::uint8_t(level() * m_intensity[light] / 256));
        }
    }
}

void LightingEngine::audioDrops()
{
    const auto bands = takeBands();
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int column = 0; column < kGridColumns; ++column) {
        const std::int64_t top = (barDepth(bands[(column + 1) % kBandCount]) + 100) * 6 / 600;
        const int bottom = gridLight(column, kGridRows - 1);
        for (int row = 0; row < kGridRows; ++row) {
            // A drop is held until the one before it has reached the bottom and gone out.
            if (m_held[column] && (bottom == kNoLight || m_intensity[bottom] < 10))
                m_held[column] = false;
            const int light = gridLight(column, row);
            if (light == kNoLight)
                continue;
            const int above = gridLight(column, row - 1);
            if (!(row > 0 && above != kNoLight && m_intensity[above] >= 5))
                fade(light, kAudioMode);
            if (m_intensity[light] > 9) {
                const Rgb colour =
                    m_audio.multiColour ? wheelColour(m_hue[light]) : m_audio.foreground;
                m_lights.set(light, colour, std::uint8_t(level() * m_intensity[light] / 256));
            } else {
                m_lights.set(light, m_audio.background, level());
            }
            if (row >= top && !m_held[column]) {
                m_intensity[light] = 255;
                m_held[column] = true;
            }
        }
    }
}

void LightingEngine::audioRowBars()
{
    const auto bands = takeBands();
    const std::array<std::int32_t, 6> groups{groupValue(bands, 0, 2),  groupValue(bands, 2, 3),
                                             groupValue(bands, 5, 3),  groupValue(bands, 8, 4),
                                             groupValue(bands, 12, 5), groupValue(bands, 17, 7)};
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int row = 0; row < kGridRows; ++row) {
        const std::int64_t reach = 23 - (23 * clippedDepth(groups[5 - row]) + 2300) / 600;
        int colourIndex = m_phase;
        for (int column = 0; column < kGridColumns; ++column) {
            colourIndex = (colourIndex + 3) % kWheelSize;
            const int light = gridLight(column, row);
            if (light == kNoLight)
                continue;
            const int next = gridLight(column + 1, row);
            if (!(column <= 20 && next != kNoLight && m_intensity[next] >= 10))
                fade(light, kAudioMode);
            paintAudioLight(light, column <= reach, colourIndex);
        }
    }
}

void LightingEngine::audioAlternatingBars()
{
    const auto bands = takeBands();
    const std::array<std::int32_t, 6> groups{groupValue(bands, 0, 2),  groupValue(bands, 2, 2),
                                             groupValue(bands, 4, 3),  groupValue(bands, 7, 4),
                                             groupValue(bands, 11, 5), groupValue(bands, 16, 5)};
    m_phase = stepPhase(forward(), kWheelSize, m_phase, 1);
    for (int row = 0; row < kGridRows; ++row) {
        const std::int64_t reach = 23 * clippedDepth(groups[row]) / 600;
        const bool fromRight = row % 2 == 0;
        int colourIndex = m_phase;
        for (int column = 0; column < kGridColumns; ++column) {
            const int light = gridLight(column, row);
            if (light == kNoLight)
                continue;
            const bool lit = fromRight ? column >= reach : column <= 23 - reach;
            if (!lit) {
                const int inner =
                    fromRight ? (column >= 2 ? column - 1 : -1) : (column <= 20 ? column + 1 : -1);
                const int innerLight = gridLight(inner, row);
                if (!(innerLight != kNoLight && m_intensity[innerLight] >= 10))
                    fade(light, kAudioMode);
            }
            const bool usesWheel = m_audio.multiColour && (lit || m_intensity[light] > 9);
            paintAudioLight(light, lit, colourIndex);
            if (usesWheel)
                colourIndex = (colourIndex + 2) % kWheelSize;
        }
    }
}

} // namespace model
