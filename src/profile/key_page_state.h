#pragma once

#include "profile/key_function_code.h"

#include <string>
#include <string_view>
#include <vector>

namespace profile {

// What the key assignment page's controls hold, without the controls: selected combo
// indices (-1 for none) and edit texts. The page copies its controls into this, lets
// encodeKeyFunction build a code, and copies decodeKeyFunction's result back.
struct KeyPageState {
    int category = -1; // user data of the selected function item; -1 none

    int mouseKeyIndex = -1;
    int swingDirection = -1;
    std::wstring swingCount{}, swingDelay{}, swingSpeed{};
    int wheelDirection = -1;
    std::wstring wheelCount{}, wheelDelay{}, wheelSpeed{};
    int dpiIndex = -1;
    std::wstring fireInterval{}, fireCount{};
    // The keyboard text edit (the key's name id) and the modifier option 0-4 (-1 none).
    std::wstring keyText{};
    int modifierOption = -1;
    int mediaIndex = -1;
    int systemIndex = -1;
    int macroIndex = -1;
    int macroItemCount = 0; // items in the macro combo = macros in the library
    int repeatIndex = -1;   // 0-3 repeat modes, 4 = repeat a given number of times
    std::wstring cycleText{};
    bool cycleAreaVisible = false;
    int gunKeyIndex = -1;
    int comboKeyIndex = -1;
};

inline constexpr int kRepeatCountEntry = 4;

// An edit's integer: leading blanks and a sign allowed, reading stops at the first
// non-digit, no digits read 0; saturates instead of overflowing.
[[nodiscard]] int parseEditInteger(std::wstring_view text);

// Page controls -> code. Starts from `current` (key index kept, pad 0); category 0 or an
// unknown category gives `defaultCode`; a selection outside its table leaves the code
// as it was.
[[nodiscard]] KeyFunctionCode encodeKeyFunction(const KeyPageState& state,
                                                const KeyFunctionCode& current,
                                                const KeyFunctionCode& defaultCode);

// Code -> page controls, changing only what the code decides. Returns the page's current
// code afterwards: `code`, except for a plain key that no table knows, which becomes
// 20 00 00. `state.category` is -1 when no category shows the code.
KeyFunctionCode decodeKeyFunction(const KeyFunctionCode& code, const KeyFunctionCode& defaultCode,
                                  KeyPageState& state);

// What is drawn on a key for its code.
struct LabelText {
    enum class Kind { Unchanged, NameIds, Literal };
    Kind kind = Kind::Unchanged;
    std::vector<std::wstring> nameIds; // shown translated and joined with "+"
    std::wstring literal;              // a macro name or the fixed "关闭"
};
[[nodiscard]] LabelText KeyLabel(const KeyFunctionCode& code,
                                 const std::vector<std::wstring>& macroNames);

// The own name of a keyboard key position: the name id of the key table entry of its
// factory code; empty for positions without one (and for indices past the table).
[[nodiscard]] std::wstring_view keyboardOwnNameId(std::size_t position);

} // namespace profile
