#pragma once

#include "device/model/lighting_preview.h"

#include <string>
#include <vector>

namespace cli {

// More frames would make an image too large to be of use.
inline constexpr int kMaxStripFrames = 4096;

// Draws each frame's lights on the keyboard's column grid, as the LEDs would show them, in
// a strip of frames; false with a reason when the file could not be written.
[[nodiscard]] bool writeLightStripPng(const std::string& path,
                                      const std::vector<model::LightFrame>& frames,
                                      std::string& error);

} // namespace cli
