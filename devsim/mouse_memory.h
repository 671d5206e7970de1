#pragma once

// The emulated mouse's memory: the keyboard's areas, sized and filled for a mouse. Its key
// slots hold the eleven button codes in a shuffled order and one slot no button claims; its
// settings hold eight 71-byte slot records, 128 bytes apart, with five DPI stages each.

#include "devsim/keyboard_memory.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace devsim {

inline constexpr std::size_t kMouseKeySlotCount = 12;
inline constexpr std::size_t kMouseSlotRecords = 8;
inline constexpr std::uint16_t kMouseSensorId = 3395;
inline constexpr std::uint8_t kMouseDpiStep = 50;
inline constexpr std::uint16_t kMouseDpiMaximum = 519; // slider steps
inline constexpr std::uint16_t kMouseDpiBase = 50;

// The button position whose code key slot k holds; 0xFF for the slot no button claims.
const std::array<std::uint8_t, kMouseKeySlotCount>& mouseSlotPositions();

KeyboardMemory mouseFactoryMemory();

} // namespace devsim
