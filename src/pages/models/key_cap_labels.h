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
    // The new function as the cap can say it, fullest first ("Play/Pause", "Play"); the
    // cap shows the first that fits. Empty when unchanged.
    std::vector<std::wstring> capForms;
    bool changed = false;
};

// Full: as the tooltip says it. Cap: modifiers without their side ("Ctrl+C"). Brief: what
// the language gives for a cap where the name is long ("Play" for "Play/Pause").
enum class TextForm { Full, Cap, Brief };

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
[[nodiscard]] KeyCapLabel keyCapLabel(std::wstring_view ownName, const profile::KeyAssignment& key,
                                      const std::vector<std::wstring>& macroNames,
                                      const Translate& text);

// A cap label as drawn: the text and its font size in pixels at 96 DPI.
struct CapText {
    std::wstring text;
    int size = 0;
};
// How wide `text` is drawn at font size `size`, in the same pixels as the width it must fit.
using MeasureText = std::function<int(std::wstring_view text, int size)>;

// The form that fits `width` at the largest size from `largest` down to `smallest`, the
// fullest at that size; when none does, the last form at `smallest`, cut with "…" where it
// fits. A form ending in a number ("Macro 12") keeps the number after the "…": it tells
// that macro from the others.
[[nodiscard]] CapText fitCapText(const std::vector<std::wstring>& forms, int width, int largest,
                                 int smallest, const MeasureText& measure);

} // namespace pages
