#pragma once

// The mouse's factory key code of every key position of its picture, in position order: how
// the host finds which key slot is which button, and what the mouse's slots hold when new.

#include "device/key_positions.h"

#include <array>
#include <cstddef>

namespace device {

inline constexpr std::size_t kMouseKeyPositionCount = 11;

inline constexpr std::array<KeyCode, kMouseKeyPositionCount> kMouseFactoryKeyCodes{{
    {0x10, 0x01, 0x00}, // left
    {0x10, 0x02, 0x00}, // right
    {0x10, 0x04, 0x00}, // middle
    {0x10, 0x10, 0x00}, // forward
    {0x10, 0x08, 0x00}, // back
    {0x13, 0x01, 0x00}, // DPI up
    {0x13, 0x02, 0x00}, // DPI down
    {0x13, 0x03, 0x00}, // DPI cycle
    {0xA0, 0x1B, 0x00},
    {0x16, 0x90, 0x01},
    {0x14, 0x78, 0x02},
}};

} // namespace device
