#pragma once

#include "profile/key_function_code.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The vocabulary of assignable key functions: function types, page categories and the
// lookup tables, in the order the key assignment page lists them.
namespace profile {

enum class KeyFunctionType : std::uint8_t {
    None = 0x00,
    MouseButton = 0x10,
    MouseSwing = 0x11,
    MouseWheel = 0x12,
    Dpi = 0x13,
    Fire = 0x14,
    DpiShift = 0x16,
    Keyboard = 0x20,
    Shortcut = 0x22,
    ShowWindow = 0x23,
    Media = 0x30,
    System = 0x40,
    MacroMode = 0x70,
    MacroCount = 0x71,
    GunKey = 0x72,
    Special = 0xA0,
    MacroKey = 0xD0,
};

[[nodiscard]] constexpr std::uint8_t typeByte(KeyFunctionType type)
{
    return static_cast<std::uint8_t>(type);
}

[[nodiscard]] constexpr bool isMacroCode(const KeyFunctionCode& code)
{
    return code.type == typeByte(KeyFunctionType::MacroMode) ||
           code.type == typeByte(KeyFunctionType::MacroCount);
}

enum class KeyFunctionCategory : int {
    Default = 0,
    MouseKey = 1,
    MouseSwing = 2,
    MouseWheel = 3,
    MouseDpi = 4,
    MouseFire = 5,
    Keyboard = 6,
    Media = 7,
    System = 8,
    Macro = 9,
    GunKey = 10,
    ComboKey = 11,
};

// Lookup tables: `keyIndex` of an entry holds its id (the Windows virtual-key code in the
// keyboard key table).
[[nodiscard]] std::span<const KeyFunctionCode> mouseButtonTable();
[[nodiscard]] std::span<const KeyFunctionCode> dpiTable();
[[nodiscard]] std::span<const KeyFunctionCode> comboKeyTable();
[[nodiscard]] std::span<const KeyFunctionCode> mediaTable();
[[nodiscard]] std::span<const KeyFunctionCode> systemTable();
[[nodiscard]] std::span<const KeyFunctionCode> keyboardKeyTable();   // KeyboardKeyTable, 142
[[nodiscard]] std::span<const KeyFunctionCode> functionLabelTable(); // FunctionLabelTable, 15
[[nodiscard]] std::span<const KeyFunctionCode> shortcutLabelTable();

// The table a table category picks from; empty for the other categories.
[[nodiscard]] std::span<const KeyFunctionCode> categoryTable(int category);

// KeyNameIds, the 201 label name ids.
inline constexpr std::size_t kKeyNameIdCount = 201;
[[nodiscard]] std::span<const std::wstring_view> keyNameIds();
// Name id offsets of each table into keyNameIds().
inline constexpr std::size_t kSystemNameBase = 24;
inline constexpr std::size_t kMediaNameBase = 28;
inline constexpr std::size_t kDpiNameBase = 46;
inline constexpr std::size_t kMouseButtonNameBase = 53;
inline constexpr std::size_t kKeyboardNameBase = 58;
inline constexpr std::size_t kFunctionLabelNameBase = 9;
[[nodiscard]] std::wstring_view keyboardKeyNameId(std::size_t index);

// ScanCodeTable: set-1 make code and extended flag of keyboard key table entries 0-112.
struct ScanCodeEntry {
    std::uint16_t virtualKey = 0;
    std::uint8_t scanCode = 0;
    std::uint8_t extended = 0;
};
[[nodiscard]] std::span<const ScanCodeEntry> scanCodeTable();
// The keyboard key table index of a pressed key; nullopt for keys not in the table.
[[nodiscard]] std::optional<std::size_t> keyForScanCode(std::uint8_t scanCode, bool extended);

// The keyboard's 126 key positions: the factory code of each, position n = button "key_n".
inline constexpr std::size_t kKeyboardPositionCount = 126;
[[nodiscard]] std::span<const KeyFunctionCode> keyboardPositionTable();
// The mouse's 11 key positions.
inline constexpr std::size_t kMousePositionCount = 11;
[[nodiscard]] std::span<const KeyFunctionCode> mousePositionTable();

// First keyboard key table entry with the same type, p1 and p2.
[[nodiscard]] std::optional<std::size_t> findKeyboardKey(const KeyFunctionCode& code);
// Option button of modifier entry k (0-7): left and right Ctrl give 1, Shift 2, Alt 3, Win 4.
[[nodiscard]] constexpr int modifierOption(std::size_t modifierEntry)
{
    return static_cast<int>((modifierEntry + 1) % 5 + (modifierEntry + 1) / 5);
}

} // namespace profile
