#pragma once

#include "profile/key_function_code.h"

#include <string>
#include <string_view>
#include <vector>

namespace profile {

// A key function written as text, turned into a code through the same page-state encoding
// the key assignment page uses: "default", "none", a key with at most one modifier
// ("Esc", "Ctrl+C", "Shift+F5", "Shift"), "mouse:left|right|middle|back|forward",
// "media:NAME", "system:power|sleep|wake", "macro:NAME[:repeat=N|:mode=0..3]",
// "combo:INDEX".
struct ParsedKeyFunction {
    bool ok = false;
    KeyFunctionCode code;
    std::string error; // for people, when !ok
};
[[nodiscard]] ParsedKeyFunction parseKeyFunction(std::string_view text, const KeyAssignment& key,
                                                 const std::vector<std::wstring>& macroNames);

// The text of a name id without its table prefix ("keyboard_key_Page Up" -> "Page Up").
[[nodiscard]] std::string shortKeyName(std::wstring_view nameId);

} // namespace profile
