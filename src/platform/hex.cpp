#include "platform/hex.h"

namespace platform {
namespace {

std::optional<unsigned> digitValue(char32_t c)
{
    if (c >= U'0' && c <= U'9')
        return static_cast<unsigned>(c - U'0');
    if (c >= U'a' && c <= U'f')
        return static_cast<unsigned>(c - U'a' + 10);
    if (c >= U'A' && c <= U'F')
        return static_cast<unsigned>(c - U'A' + 10);
    return std::nullopt;
}

template <typename Char>
std::optional<std::uint64_t> parseDigits(std::basic_string_view<Char> text, std::uint64_t max)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const Char c : text) {
        const auto digit = hexDigit(c);
        // Checked before multiplying so that no bound, however large, can wrap.
        if (!digit || *digit > max || value > (max - *digit) / 16)
            return std::nullopt;
        value = value * 16 + *digit;
    }
    return value;
}

} // namespace

std::optional<unsigned> hexDigit(char c)
{
    return digitValue(static_cast<unsigned char>(c));
}

std::optional<unsigned> hexDigit(wchar_t c)
{
    return digitValue(static_cast<char32_t>(c));
}

std::optional<std::uint64_t> parseHex(std::string_view text, std::uint64_t max)
{
    return parseDigits(text, max);
}

std::optional<std::uint64_t> parseHex(std::wstring_view text, std::uint64_t max)
{
    return parseDigits(text, max);
}

} // namespace platform
