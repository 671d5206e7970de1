#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Linux evdev key codes (X keycodes minus 8) to the keys of the keyboard key table, whose
// scan code table gives the set-1 scan code, extended flag and virtual-key code.
namespace hook {

struct TranslatedKey {
    std::size_t keyIndex = 0; // keyboard key table index, 0-112
    std::uint8_t scanCode = 0;
    bool extended = false;
    std::uint16_t virtualKey = 0;
};

// Keys that can be captured: keyboard key table entries 0-112, the ones with scan codes.
inline constexpr std::size_t kCapturableKeyCount = 113;

[[nodiscard]] std::optional<TranslatedKey> translateEvdevKey(std::uint16_t evdevCode);
// The same by USB HID keyboard usage (0xE0-0xE7 for the modifiers), as toolkits report keys.
[[nodiscard]] std::optional<TranslatedKey> translateHidUsage(std::uint16_t usage);
// The evdev code of keyboard key table entry `keyIndex`; nullopt past the capturable keys.
[[nodiscard]] std::optional<std::uint16_t> evdevCodeOfKey(std::size_t keyIndex);

} // namespace hook
