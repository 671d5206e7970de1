#pragma once

// What the device picture shows on and over each key: its own name, the tooltip that says
// what it does now, and the short label a reassigned key carries on its cap. UI-free: the
// texts come through `Translate` in the user's language.

#include "profile/key_function_code.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pages {

using Translate = std::function<std::wstring(std::wstring_view id)>;

struct KeyCapLabel {
    std::wstring title;   // the key's own name
    std::wstring tooltip; // "Esc — unchanged", "Esc → Ctrl+C"
    std::wstring cap;     // the new function, shortened for the cap; empty when unchanged
    bool changed = false;
};

enum class TextForm { Full, Cap };

// The function of `code` in words ("Left Ctrl+C", a macro's name; on a cap "Ctrl+C"); empty
// when it has no label.
[[nodiscard]] std::wstring functionText(const profile::KeyFunctionCode& code,
                                        const std::vector<std::wstring>& macroNames,
                                        const Translate& text, TextForm form = TextForm::Full);

// The own name of key `position`: the keyboard's from its position table (in words for
// punctuation, where the language names it), another device's from its factory function.
[[nodiscard]] std::wstring ownKeyName(bool keyboard, std::size_t position,
                                      const profile::KeyAssignment& key,
                                      const std::vector<std::wstring>& macroNames,
                                      const Translate& text);

// A key is unchanged while it does what its factory code does, even under another code that
// reads the same.
// `capWidth` is how many narrow characters the cap holds.
[[nodiscard]] KeyCapLabel keyCapLabel(std::wstring_view ownName, const profile::KeyAssignment& key,
                                      const std::vector<std::wstring>& macroNames,
                                      const Translate& text, int capWidth = 6);

// At most `width` narrow characters (a wide one counts two); longer text is cut with "…".
[[nodiscard]] std::wstring shortCapText(std::wstring_view text, int width = 6);

} // namespace pages
