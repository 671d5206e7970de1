#pragma once

#include <cstdint>
#include <span>

// Effect indices (positions in the effect list of the factory lighting file) against the
// effect codes the device's settings record carries.
namespace model {

// The keyboard has effect indices below 31, the mouse below 10; a larger index counts as 0.
inline constexpr int kKeyboardEffectLimit = 31;
inline constexpr int kMouseEffectLimit = 10;

// The code of the effect list entry at the index. The list comes from a file and may be
// shorter than the device's effect range: an index past its end takes entry 0's code, and
// an empty list gives code 0.
[[nodiscard]] std::uint8_t deviceEffectCode(int effectIndex, std::span<const std::int32_t> codes,
                                            int effectLimit);

// The index of the first entry carrying the code; without one the code itself stands.
[[nodiscard]] std::uint8_t effectIndexOfCode(std::uint8_t code,
                                             std::span<const std::int32_t> codes);

} // namespace model
