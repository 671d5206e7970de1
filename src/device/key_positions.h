#pragma once

// The keyboard's factory key code of every key position of its picture, in position order:
// how the host finds which key slot is which key, and what the keyboard's slots hold when new.
// A code 20 00 00 marks a position with no key of its own.

#include <array>
#include <cstddef>
#include <cstdint>

namespace device {

inline constexpr std::size_t kKeyPositionCount = 126;

struct KeyCode {
    std::uint8_t type = 0;
    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;

    bool operator==(const KeyCode&) const = default;
};

namespace detail {
constexpr KeyCode key(std::uint8_t usage)
{
    return {0x20, 0x00, usage};
}
constexpr KeyCode modifier(std::uint8_t bit)
{
    return {0x20, bit, 0x00};
}

} // namespace detail

inline constexpr std::array<KeyCode, kKeyPositionCount> kFactoryKeyCodes{{
    detail::key(0x29),      detail::key(0x3A),      detail::key(0x3B),      detail::key(0x3C),
    detail::key(0x3D),      detail::key(0x3E),      detail::key(0x3F),      detail::key(0x40),
    detail::key(0x41),      detail::key(0x42),      detail::key(0x43),      detail::key(0x44),
    detail::key(0x45),      detail::key(0x46),      detail::key(0x47),      detail::key(0x48),
    {0xA0, 0x1B, 0x00},     {0xA0, 0x24, 0x00},     detail::key(0x00),      detail::key(0x00),
    detail::key(0x00),      detail::key(0x35),      detail::key(0x1E),      detail::key(0x1F),
    detail::key(0x20),      detail::key(0x21),      detail::key(0x22),      detail::key(0x23),
    detail::key(0x24),      detail::key(0x25),      detail::key(0x26),      detail::key(0x27),
    detail::key(0x2D),      detail::key(0x2E),      detail::key(0x2A),      detail::key(0x49),
    detail::key(0x4A),      detail::key(0x4B),      detail::key(0x53),      detail::key(0x54),
    detail::key(0x55),      detail::key(0x56),      detail::key(0x2B),      detail::key(0x14),
    detail::key(0x1A),      detail::key(0x08),      detail::key(0x15),      detail::key(0x17),
    detail::key(0x1C),      detail::key(0x18),      detail::key(0x0C),      detail::key(0x12),
    detail::key(0x13),      detail::key(0x2F),      detail::key(0x30),      detail::key(0x31),
    detail::key(0x4C),      detail::key(0x4D),      detail::key(0x4E),      detail::key(0x5F),
    detail::key(0x60),      detail::key(0x61),      detail::key(0x32),      detail::key(0x39),
    detail::key(0x04),      detail::key(0x16),      detail::key(0x07),      detail::key(0x09),
    detail::key(0x0A),      detail::key(0x0B),      detail::key(0x0D),      detail::key(0x0E),
    detail::key(0x0F),      detail::key(0x33),      detail::key(0x34),      detail::key(0x28),
    detail::key(0x5C),      detail::key(0x5D),      detail::key(0x5E),      detail::key(0x8A),
    detail::key(0x8B),      detail::key(0x90),      detail::key(0x91),      detail::key(0x88),
    detail::modifier(0x02), detail::key(0x1D),      detail::key(0x1B),      detail::key(0x06),
    detail::key(0x19),      detail::key(0x05),      detail::key(0x11),      detail::key(0x10),
    detail::key(0x36),      detail::key(0x37),      detail::key(0x38),      detail::modifier(0x20),
    detail::key(0x52),      detail::key(0x59),      detail::key(0x5A),      detail::key(0x5B),
    detail::key(0x87),      detail::key(0x89),      detail::key(0x64),      detail::key(0x85),
    detail::key(0x00),      detail::modifier(0x01), detail::modifier(0x08), detail::modifier(0x04),
    detail::key(0x2C),      detail::modifier(0x40), {0xA0, 0x01, 0x00},     detail::key(0x65),
    detail::modifier(0x10), detail::key(0x50),      detail::key(0x51),      detail::key(0x4F),
    detail::key(0x62),      detail::key(0x63),      detail::key(0x58),      detail::key(0x57),
    {0xD0, 0xA2, 0x01},     {0xD0, 0xA2, 0x02},     {0xD0, 0xA2, 0x03},     {0xD0, 0xA2, 0x04},
    {0xD0, 0xA2, 0x05},     detail::modifier(0x80),
}};

// Catches a row left out of the table above: the array would be zero-filled at its end.
static_assert(kFactoryKeyCodes[kKeyPositionCount - 1] == KeyCode{0x20, 0x80, 0x00});

} // namespace device
