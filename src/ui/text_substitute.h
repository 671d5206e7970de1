#pragma once

#include <string>
#include <string_view>

namespace ui {

// Puts a number into a language text by plain substitution: the first "%d" becomes the
// number, "%%" becomes "%", and any other "%" stays as written. Texts come from files,
// so they never reach printf-style formatting.
std::wstring substituteNumber(std::wstring_view text, long long number);

} // namespace ui
