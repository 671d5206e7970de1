#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 <-> wide text. Invalid UTF-8 sequences and lone surrogates become U+FFFD, so
// text from files and devices never fails to convert.
std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

// Case-insensitive comparison of wide text (simple case folding of Latin and other
// alphabets through towlower); true when equal.
bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b);
// <0, 0 or >0, like wcsicmp.
int compareIgnoreCase(std::wstring_view a, std::wstring_view b);

std::wstring toLower(std::wstring_view text);

} // namespace platform
