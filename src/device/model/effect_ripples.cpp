// The modes drawn by the bit matrix: ripples, the show, and their painting.
#include "device/model/lighting_engine.h"

#include "device/model/lighting_tables.h"

namespace model {

namespace {

constexpr std::uint8_t kShowNone = 255;
// Light 72 ends the pair stage, light 124 (bottom left) the ripple stage.
constexpr int kPairsDoneLight = 72;
constexpr int kShowCentreLight = 51;
constexpr int kCornerLight = 124;
constexpr int kLastPairPhase = 30;

} // namespace

void LightingEngine::paintMatrix(bool randomHues)
{
    for (int column = 0; column < kGridColumns; ++column) {
        const std::uint8_t bits = m_matrix.columnBits(column);
        if (bits == 0)
            continue;
        for (int row = 0; row < kGridRows; ++row) {
            const int light = gridLight(column, row);
            if (!((bits >> row) & 1) || light == kNoLight)
                continue;
            m_intensity[light] = 255;
            if (randomHues)
                m_hue[light] = std::uint8_t(randomHue());
        }
    }
}

void LightingEngine::stepRipple(bool advanceHues)
{
    paintMatrix(multiColour());
    m_matrix.spread();
    for (int light = 0; light < int(kLightCount); ++light) {
        fade(light, m_settings.mode);
        if (advanceHues)
            m_hue[light] = stepPhase(true, kWheelSize, m_hue[light], 7);
        paintByIntensity(light);
    }
}

void LightingEngine::stepRisingRipple()
{
    // The seed sits below the keyboard in column 9; when a wave has left it is set again.
    const std::uint8_t bits = m_matrix.columnBits(9);
    if (bits == 0x01)
        m_matrix.seedCell(9, 0);
    else if (bits == 0x40)
        m_matrix.seedCell(9, 6);
    if (m_matrix.stepCounter > 1) {
        m_matrix.stepCounter = 0;
        paintMatrix(multiColour());
        m_matrix.spread();
    }
    ++m_matrix.stepCounter;
    fadeAndPaintAll();
}

void LightingEngine::stepBouncingRipple()
{
    if (m_matrix.columnBits(1) == 0x01)
        m_matrix.seedCell(1, 0);
    if (m_matrix.columnBits(22) == 0x40)
        m_matrix.seedCell(22, 6);
    paintMatrix(multiColour());
    m_matrix.spread();
    fadeAndPaintSweep();
}

void LightingEngine::stepShow()
{
    auto light = [&](int index) {
        if (index >= int(kLightCount))
            return;
        m_intensity[index] = 255;
        if (multiColour())
            m_hue[index] = std::uint8_t(randomHue());
    };
    std::uint8_t& stage = m_matrix.stepCounter;
    switch (stage) {
    case 0:
        for (std::uint8_t index : kShowTable[m_phase % kShowRows]) {
            if (index != kShowNone)
                light(index);
        }
        if (++m_phase >= kShowRows) {
            m_phase = 0;
            stage = 1;
        }
        break;
    case 1:
        if (m_phase <= kLastPairPhase) {
            for (std::uint8_t index : kShowPairLights[m_phase % kShowPairs])
                light(index);
            ++m_phase;
        } else if (m_intensity[kPairsDoneLight] == 0) {
            m_phase = 0;
            stage = 2;
        }
        break;
    case 2:
        m_matrix.seedAtLight(kShowCentreLight);
        stage = 3;
        break;
    case 3:
        paintMatrix(multiColour());
        m_matrix.spread();
        if (m_intensity[kCornerLight] != 0)
            stage = 4;
        break;
    default:
        if (m_intensity[kCornerLight] == 0) {
            stage = 0;
            m_phase = 0;
        }
        break;
    }
    fadeAndPaintAll();
}

} // namespace model
