#pragma once

// Where the emulated keyboard keeps its factory key codes: its key slots hold them in a
// shuffled but fixed order, so a host that maps positions to slots has to search the layout
// it reads.

#include "device/key_positions.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace devsim {

using device::KeyCode;
using device::kKeyPositionCount;

inline const std::array<KeyCode, kKeyPositionCount>& factoryKeyCodes()
{
    return device::kFactoryKeyCodes;
}

// The key position whose code key slot k holds: a permutation of 0..125 from a fixed seed.
const std::array<std::uint8_t, kKeyPositionCount>& slotPositions();

} // namespace devsim
