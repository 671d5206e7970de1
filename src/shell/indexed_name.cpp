#include "shell/indexed_name.h"

namespace shell {

std::optional<IndexedName> splitIndexedName(std::wstring_view name, int limit)
{
    const std::size_t split = name.rfind(L'_');
    if (split == std::wstring_view::npos || split + 1 >= name.size())
        return std::nullopt;
    long long number = 0;
    for (const wchar_t c : name.substr(split + 1)) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        number = number * 10 + (c - L'0');
        // Names come from skin files; a long run of digits must not wrap into a small index.
        if (number > limit)
            return std::nullopt;
    }
    return IndexedName{name.substr(0, split + 1), static_cast<int>(number)};
}

} // namespace shell
