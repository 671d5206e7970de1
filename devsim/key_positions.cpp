#include "devsim/key_positions.h"

#include <numeric>

namespace devsim {
namespace {

constexpr KeyCode key(std::uint8_t usage)
{
    return {0x20, 0x00, usage};
}
constexpr KeyCode modifier(std::uint8_t bit)
{
    return {0x20, bit, 0x00};
}

constexpr std::array<KeyCode, kKeyPositionCount> kFactoryCodes{{
    key(0x29),          key(0x3A),          key(0x3B),          key(0x3C),
    key(0x3D),          key(0x3E),          key(0x3F),          key(0x40),
    key(0x41),          key(0x42),          key(0x43),          key(0x44),
    key(0x45),          key(0x46),          key(0x47),          key(0x48),
    {0xA0, 0x1B, 0x00}, {0xA0, 0x24, 0x00}, key(0x00),          key(0x00),
    key(0x00),          key(0x35),          key(0x1E),          key(0x1F),
    key(0x20),          key(0x21),          key(0x22),          key(0x23),
    key(0x24),          key(0x25),          key(0x26),          key(0x27),
    key(0x2D),          key(0x2E),          key(0x2A),          key(0x49),
    key(0x4A),          key(0x4B),          key(0x53),          key(0x54),
    key(0x55),          key(0x56),          key(0x2B),          key(0x14),
    key(0x1A),          key(0x08),          key(0x15),          key(0x17),
    key(0x1C),          key(0x18),          key(0x0C),          key(0x12),
    key(0x13),          key(0x2F),          key(0x30),          key(0x31),
    key(0x4C),          key(0x4D),          key(0x4E),          key(0x5F),
    key(0x60),          key(0x61),          key(0x32),          key(0x39),
    key(0x04),          key(0x16),          key(0x07),          key(0x09),
    key(0x0A),          key(0x0B),          key(0x0D),          key(0x0E),
    key(0x0F),          key(0x33),          key(0x34),          key(0x28),
    key(0x5C),          key(0x5D),          key(0x5E),          key(0x8A),
    key(0x8B),          key(0x90),          key(0x91),          key(0x88),
    modifier(0x02),     key(0x1D),          key(0x1B),          key(0x06),
    key(0x19),          key(0x05),          key(0x11),          key(0x10),
    key(0x36),          key(0x37),          key(0x38),          modifier(0x20),
    key(0x52),          key(0x59),          key(0x5A),          key(0x5B),
    key(0x87),          key(0x89),          key(0x64),          key(0x85),
    key(0x00),          modifier(0x01),     modifier(0x08),     modifier(0x04),
    key(0x2C),          modifier(0x40),     {0xA0, 0x01, 0x00}, key(0x65),
    modifier(0x10),     key(0x50),          key(0x51),          key(0x4F),
    key(0x62),          key(0x63),          key(0x58),          key(0x57),
    {0xD0, 0xA2, 0x01}, {0xD0, 0xA2, 0x02}, {0xD0, 0xA2, 0x03}, {0xD0, 0xA2, 0x04},
    {0xD0, 0xA2, 0x05}, modifier(0x80),
}};

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

const std::array<KeyCode, kKeyPositionCount>& factoryKeyCodes()
{
    return kFactoryCodes;
}

const std::array<std::uint8_t, kKeyPositionCount>& slotPositions()
{
    static const auto order = shuffledPositions();
    return order;
}

} // namespace devsim
