#pragma once

// A measured run of the keyboard's live lighting: the lighting thread paints, a timer on the
// calling thread hands frames over every 5 ms as the device's tile does, and the frame pump
// sends them. halvekctl's "light run" and the benchmarks share it.

#include "device/model/lighting_types.h"

#include <chrono>
#include <cstdint>

namespace model {

class KeyboardModel;

struct LiveStreamOptions {
    EffectSettings settings;
    std::chrono::milliseconds duration{5000};
    // Send the last frame again as soon as the previous one went, to measure the link.
    bool flatOut = false;
};

struct LiveStreamReport {
    double seconds = 0;
    std::uint64_t steps = 0;         // frames the lighting thread painted
    std::uint64_t sent = 0;          // frames that reached the device whole
    std::uint64_t failed = 0;        // frames whose send failed
    std::uint64_t replaced = 0;      // handed over but replaced before they went
    std::uint64_t notHandedOver = 0; // painted steps the timer never handed over
    double lightingCpuShare = 0;     // of one core
    double senderCpuShare = 0;
    std::chrono::duration<double, std::milli> longestStall{0}; // of the timer's thread
    bool modeSendsFrames = true;

    std::uint64_t dropped() const { return failed + replaced + notHandedOver; }
    double framesPerSecond() const { return seconds > 0 ? double(sent) / seconds : 0; }
    double stepsPerSecond() const { return seconds > 0 ? double(steps) / seconds : 0; }
};

// The keyboard's channel is open on the cable and its full read done. Starts and stops the
// keyboard's lighting; the profile is not touched.
[[nodiscard]] LiveStreamReport runLiveStream(KeyboardModel& keyboard,
                                             const LiveStreamOptions& options);

} // namespace model
