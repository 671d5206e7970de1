#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// The value of one hexadecimal digit, either case; nullopt for anything else.
std::optional<unsigned> hexDigit(char c);
std::optional<unsigned> hexDigit(wchar_t c);

// A whole run of hexadecimal digits, nothing else (no prefix, sign or spaces): nullopt
// when empty, on any other character, or when the value passes `max`.
std::optional<std::uint64_t> parseHex(std::string_view text, std::uint64_t max);
std::optional<std::uint64_t> parseHex(std::wstring_view text, std::uint64_t max);

} // namespace platform
