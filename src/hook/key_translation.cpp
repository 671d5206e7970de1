#include "hook/key_translation.h"

#include "profile/key_codes.h"

#include <array>

namespace hook {
namespace {

// By keyboard key table index. The codes are those the kernel gives a USB keyboard's HID
// usages, so a key reads the same whether it comes from X or from the window.
constexpr std::array<std::uint16_t, kCapturableKeyCount> kEvdevOfKey{
    29,  42,  56,  125, 97,  54,  100, 126,                  // modifiers, left then right
    30,  48,  46,  32,  18,  33,  34,  35,  23,  36, 37, 38, // A-L
    50,  49,  24,  25,  16,  19,  31,  20,  22,  47, 17, 45, // M-X
    21,  44,                                                 // Y Z
    2,   3,   4,   5,   6,   7,   8,   9,   10,  11,         // 1-9 0
    28,  1,   14,  15,  57,  12,  13,  26,  27,  43,         // Enter ... backslash
    39,  40,  41,  51,  52,  53,  58,                        // ; ' ` , . / Caps
    59,  60,  61,  62,  63,  64,  65,  66,  67,  68, 87, 88, // F1-F12
    99,  70,  119, 110, 102, 104, 111, 107, 109,             // Print ... Page Down
    106, 105, 108, 103,                                      // Right Left Down Up
    69,  98,  55,  74,  78,  96,                             // Num Lock ... keypad Enter
    79,  80,  81,  75,  76,  77,  71,  72,  73,  82, 83,     // keypad 1-9 0 .
    127,                                                     // App
    86,  89,  124, 121, 94,  92,  93,  123, 122,             // international keys
};

} // namespace

std::optional<TranslatedKey> translateEvdevKey(std::uint16_t evdevCode)
{
    const auto scanCodes = profile::scanCodeTable();
    for (std::size_t i = 0; i < kEvdevOfKey.size() && i < scanCodes.size(); ++i) {
        if (kEvdevOfKey[i] == evdevCode) {
            const auto& entry = scanCodes[i];
            return TranslatedKey{i, entry.scanCode, entry.extended != 0, entry.virtualKey};
        }
    }
    return std::nullopt;
}

std::optional<TranslatedKey> translateHidUsage(std::uint16_t usage)
{
    constexpr std::uint16_t kFirstModifierUsage = 0xE0;
    constexpr std::uint16_t kModifierCount = 8;
    if (usage >= kFirstModifierUsage && usage < kFirstModifierUsage + kModifierCount) {
        // The modifier entries come in the order of the HID modifier byte's bits.
        return translateEvdevKey(kEvdevOfKey[usage - kFirstModifierUsage]);
    }
    if (usage == 0 || usage > 0xFF) {
        return std::nullopt;
    }
    const auto keys = profile::keyboardKeyTable();
    for (std::size_t i = kModifierCount; i < kCapturableKeyCount && i < keys.size(); ++i) {
        if (keys[i].p1 == 0 && keys[i].p2 == usage) {
            return translateEvdevKey(kEvdevOfKey[i]);
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> evdevCodeOfKey(std::size_t keyIndex)
{
    if (keyIndex >= kEvdevOfKey.size()) {
        return std::nullopt;
    }
    return kEvdevOfKey[keyIndex];
}

} // namespace hook
