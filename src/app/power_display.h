#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace app {

// What the power tile shows for a power block (byte 0 battery percent, byte 1 charging
// state, byte 3 wireless flag). A block shorter than 4 bytes shows nothing.
struct PowerDisplay {
    int progress = 0;       // 100 - battery level
    std::wstring valueText; // "57%"
    std::optional<bool> progressVisible;
    std::optional<std::wstring> statusImage;
};
[[nodiscard]] std::optional<PowerDisplay> powerDisplay(std::span<const std::uint8_t> block);

} // namespace app
