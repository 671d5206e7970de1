#pragma once

#include "device/model/light_colours.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace model {

inline constexpr std::size_t kColourBufferSize = 512;
// Only the first 128 LEDs' colours travel in a live frame.
inline constexpr std::size_t kLiveFrameSize = 384;
// The position -> LED map has an entry per key position; lights beyond it have no LED.
inline constexpr std::size_t kKeyPositionCount = 126;
inline constexpr std::uint8_t kNoLed = 255;

using ColourBuffer = std::array<std::uint8_t, kColourBufferSize>;

enum class Scaling { Raw, ByBrightness };

// Colours by LED: light l's red, green and blue at bytes 3 x LED .. 3 x LED + 2, LED from the
// position -> LED map (the light index used as the position). Lights without an LED, and
// LEDs whose bytes would not fit the buffer, are left out. ByBrightness scales each component
// by the light's brightness (c x brightness >> 8), as the live frame does.
[[nodiscard]] ColourBuffer buildColourBuffer(const LightColourList& lights,
                                             std::span<const std::uint8_t> positionToLed,
                                             Scaling scaling);

// The live frame of the devices without an LED map (mouse, mouse pad, headset): light i at
// bytes 3i .. 3i + 2, scaled by its brightness, for every light but index 170.
[[nodiscard]] std::vector<std::uint8_t> buildLightIndexedFrame(std::span<const LightColour> lights);

// The colour a light's picture overlay expects: red | blue << 8 | green << 16.
[[nodiscard]] inline std::uint32_t pictureColour(LightColour colour)
{
    return colour.red | (colour.blue << 8) | (std::uint32_t(colour.green) << 16);
}

// Where a live frame goes. The device implements it and takes its own locks.
class LiveFrameSink {
public:
    virtual ~LiveFrameSink() = default;
    // Shows a light on the device picture (UI thread).
    virtual void showLight(std::size_t light, std::uint32_t pictureColour,
                           std::uint8_t brightness) = 0;
    // Sends the first 384 bytes of the colour buffer to the keyboard; false when it failed.
    [[nodiscard]] virtual bool sendLiveColours(std::span<const std::uint8_t> frame) = 0;
};

// What the device knows about whether a frame may go out.
struct LiveFrameState {
    bool hostHoldsLighting = true; // false while another program owns the lighting
    bool receiverLink = false;     // frames go out on the cable only
    bool modeSendsFrames = true;   // LightingEngine::sendsLiveFrame()
};

enum class LiveFrameResult { NotHeld, PictureOnly, Sent, SendFailed, BackingOff };

// Hands the light colours to the picture and the keyboard. After a failed send nothing is
// sent for 200 ms; the caller is not held up meanwhile.
class LiveFrameSender {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFailureBackOff{200};

    void setLedMap(std::span<const std::uint8_t> positionToLed);

    LiveFrameResult send(const LightColourList& lights, const LiveFrameState& state,
                         LiveFrameSink& sink, Clock::time_point now);

private:
    std::array<std::uint8_t, kKeyPositionCount> m_ledMap = [] {
        std::array<std::uint8_t, kKeyPositionCount> map{};
        map.fill(kNoLed);
        return map;
    }();
    Clock::time_point m_quietUntil{};
};

} // namespace model
