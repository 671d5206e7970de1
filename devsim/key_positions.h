#pragma once

// The keyboard's factory key codes, one per key position of the picture, and where the
// emulated keyboard keeps them: its key slots hold the codes in a shuffled but fixed order,
// so a host that maps positions to slots has to search the layout it reads.

#include <array>
#include <cstddef>
#include <cstdint>

namespace devsim {

inline constexpr std::size_t kKeyPositionCount = 126;

struct KeyCode {
    std::uint8_t type = 0;
    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;

    bool operator==(const KeyCode&) const = default;
};

// The factory code of each key position, in position order.
const std::array<KeyCode, kKeyPositionCount>& factoryKeyCodes();

// The key position whose code key slot k holds: a permutation of 0..125 from a fixed seed.
const std::array<std::uint8_t, kKeyPositionCount>& slotPositions();

} // namespace devsim
