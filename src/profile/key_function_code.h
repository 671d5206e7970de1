#pragma once

#include <cstdint>

namespace profile {

// What one key does. In lookup tables `keyIndex` holds a table-specific id instead.
struct KeyFunctionCode {
    std::uint16_t keyIndex = 0;
    std::uint8_t type = 0;
    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;
    std::uint8_t pad = 0;

    // Only the function counts: the key index and the pad byte take no part.
    bool sameFunction(const KeyFunctionCode& other) const
    {
        return type == other.type && p1 == other.p1 && p2 == other.p2;
    }
    bool operator==(const KeyFunctionCode& other) const { return sameFunction(other); }
};
static_assert(sizeof(KeyFunctionCode) == 6);

// A key's entry in the profile's key list: the current code, then the factory default.
struct KeyAssignment {
    KeyFunctionCode current;
    KeyFunctionCode defaultCode;
};
static_assert(sizeof(KeyAssignment) == 12);

// The stored integer form: type * 65536 + p1 * 256 + p2.
[[nodiscard]] constexpr std::int32_t toInteger(const KeyFunctionCode& code)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(code.type) << 16) |
                                     (static_cast<std::uint32_t>(code.p1) << 8) | code.p2);
}

// Bits 16-23, 8-15 and 0-7 of a stored integer; higher bits are ignored.
[[nodiscard]] constexpr KeyFunctionCode codeFromInteger(std::int32_t value, std::uint16_t keyIndex)
{
    const auto bits = static_cast<std::uint32_t>(value);
    return KeyFunctionCode{keyIndex, static_cast<std::uint8_t>(bits >> 16),
                           static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits),
                           0};
}

[[nodiscard]] constexpr KeyFunctionCode makeCode(std::uint8_t type, std::uint8_t p1,
                                                 std::uint8_t p2, std::uint16_t keyIndex = 0)
{
    return KeyFunctionCode{keyIndex, type, p1, p2, 0};
}

} // namespace profile
