#pragma once

// The macro block the keyboard keeps in its macro memory, and the mouse's recoil pattern
// block, which has the same layout. Plain data in, plain data out.
//
//   0  magic AA 55          2  total length        4  macro count     6..15  zero
//   16 one 16-bit offset per macro, from the block's start
//   then per macro: event count (16 bits), two zero bytes, four bytes per event
// All 16-bit values are little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace protocol {

inline constexpr std::uint16_t kMacroBlockMagic = 0x55AA;
inline constexpr std::size_t kMacroBlockHeaderSize = 16;
inline constexpr std::size_t kMacroOffsetSize = 2;
inline constexpr std::size_t kMacroRecordHeaderSize = 4;
inline constexpr std::size_t kMacroEventSize = 4;
// Totals and offsets are 16 bits on the device.
inline constexpr std::uint64_t kMaxMacroBlockSize = 0xFFFF;

struct MacroEvent {
    std::uint16_t delay = 0; // milliseconds before the event
    std::uint8_t type = 0;   // bits 0-6 on the wire
    bool down = false;       // press; release when false
    std::uint8_t code = 0;   // button or key code

    bool operator==(const MacroEvent&) const = default;
};

struct Macro {
    std::vector<MacroEvent> events;

    bool operator==(const Macro&) const = default;
};

// The block's length for these macros, computed wide so that no count can wrap it.
[[nodiscard]] std::uint64_t macroBlockSize(std::span<const Macro> macros);

// The encoded block, or nullopt when it would exceed the 16-bit total (nothing to send then).
[[nodiscard]] std::optional<std::vector<std::uint8_t>>
buildMacroBlock(std::span<const Macro> macros);

// The mouse's recoil pattern block: the same layout, its four patterns in place of macros.
// It is not held against the device's macro memory, only against the 16-bit total.
[[nodiscard]] inline std::optional<std::vector<std::uint8_t>>
buildRecoilBlock(std::span<const Macro> patterns)
{
    return buildMacroBlock(patterns);
}

// Reads a block back; nullopt when the magic, the total or any offset or count does not fit
// inside the bytes given.
[[nodiscard]] std::optional<std::vector<Macro>>
parseMacroBlock(std::span<const std::uint8_t> block);

// Four bytes of one event: delay low, delay high, type with bit 7 for a press, code.
[[nodiscard]] std::array<std::uint8_t, kMacroEventSize> encodeMacroEvent(const MacroEvent& event);

} // namespace protocol
