#include "device/model/live_frame.h"

#include <algorithm>

namespace model {

ColourBuffer buildColourBuffer(const LightColourList& lights,
                               std::span<const std::uint8_t> positionToLed, Scaling scaling)
{
    ColourBuffer buffer{};
    const std::size_t count = std::min({positionToLed.size(), kKeyPositionCount, kLightCount});
    for (std::size_t light = 0; light < count; ++light) {
        const std::size_t led = positionToLed[light];
        // A device map may name any LED; one past the buffer is dropped, not written.
        if (led == kNoLed || 3 * led + 2 >= buffer.size())
            continue;
        const LightColour colour = lights.get(light);
        const std::uint8_t components[3] = {colour.red, colour.green, colour.blue};
        for (std::size_t c = 0; c < 3; ++c)
            buffer[3 * led + c] = scaling == Scaling::Raw
                                      ? components[c]
                                      : std::uint8_t((components[c] * colour.brightness) >> 8);
    }
    return buffer;
}

std::vector<std::uint8_t> buildLightIndexedFrame(std::span<const LightColour> lights)
{
    std::vector<std::uint8_t> frame(3 * lights.size(), 0);
    for (std::size_t light = 0; light < lights.size(); ++light) {
        // 170 is the "no light" mark of the effect tables, never a light of its own.
        if (light == kNoLight)
            continue;
        const LightColour& colour = lights[light];
        frame[3 * light] = std::uint8_t((colour.red * colour.brightness) >> 8);
        frame[3 * light + 1] = std::uint8_t((colour.green * colour.brightness) >> 8);
        frame[3 * light + 2] = std::uint8_t((colour.blue * colour.brightness) >> 8);
    }
    return frame;
}

void LiveFrameSender::setLedMap(std::span<const std::uint8_t> positionToLed)
{
    m_ledMap.fill(kNoLed);
    std::copy_n(positionToLed.begin(), std::min(positionToLed.size(), m_ledMap.size()),
                m_ledMap.begin());
}

LiveFrameResult LiveFrameSender::send(const LightColourList& lights, const LiveFrameState& state,
                                      LiveFrameSink& sink, Clock::time_point now)
{
    if (!state.hostHoldsLighting)
        return LiveFrameResult::NotHeld;
    for (std::size_t light = 0; light < kLightCount; ++light) {
        const LightColour colour = lights.get(light);
        sink.showLight(light, pictureColour(colour), colour.brightness);
    }
    if (state.receiverLink || !state.modeSendsFrames)
        return LiveFrameResult::PictureOnly;
    if (now < m_quietUntil)
        return LiveFrameResult::BackingOff;
    const ColourBuffer buffer = buildColourBuffer(lights, m_ledMap, Scaling::ByBrightness);
    if (sink.sendLiveColours(std::span(buffer).first(kLiveFrameSize)))
        return LiveFrameResult::Sent;
    m_quietUntil = now + kFailureBackOff;
    return LiveFrameResult::SendFailed;
}

} // namespace model
