#pragma once

#include "device/model/lighting_types.h"

#include <array>
#include <cstdint>
#include <vector>

namespace model {

using LightFrame = std::array<LightColour, kLightCount>;

// An effect run without a device or a thread, for looking at it.
struct PreviewRequest {
    EffectSettings settings;
    AudioSettings audio;
    std::vector<std::int32_t> bands;    // fed before every step, as a steady sound
    std::vector<std::int32_t> external; // the external colour values
    int steps = 1;
    std::uint32_t seed = 1;
    bool keepEveryFrame = true; // false: only the last frame is returned
};

// Runs the mode's start step and then `steps` steps, each as far apart in time as the
// lighting thread would run them; returns the light colours after each step (after the
// start step alone when steps is 0), or only the last of them.
[[nodiscard]] std::vector<LightFrame> runPreview(const PreviewRequest& request);

} // namespace model
