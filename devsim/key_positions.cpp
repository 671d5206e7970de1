#include "devsim/key_positions.h"

#include <numeric>

namespace devsim {
namespace {

// A small fixed generator, so every build and every run shuffles the same way.
std::array<std::uint8_t, kKeyPositionCount> shuffledPositions()
{
    std::array<std::uint8_t, kKeyPositionCount> order{};
    std::iota(order.begin(), order.end(), std::uint8_t{0});
    std::uint32_t state = 0x5078u;
    for (std::size_t i = order.size() - 1; i > 0; --i) {
        state = state * 1103515245u + 12345u;
        const std::size_t j = (state >> 16) % (i + 1);
        std::swap(order[i], order[j]);
    }
    return order;
}

} // namespace

const std::array<std::uint8_t, kKeyPositionCount>& slotPositions()
{
    static const auto order = shuffledPositions();
    return order;
}

} // namespace devsim
