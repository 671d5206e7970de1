#include "platform/paths.h"

#include "platform/text.h"

namespace platform {
namespace {

bool isSeparator(wchar_t c)
{
    return c == L'/' || c == L'\\';
}

bool isForbiddenInFileName(wchar_t c)
{
    return c < 0x20 || c == 0x7F || c == L'/' || c == L'\\' || c == L':' || c == L'*' ||
           c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|';
}

} // namespace

// Through char8_t: a path made from plain char text takes it in the system's code page on
// Windows, which turns any name beyond ASCII into the wrong one.
std::filesystem::path toPath(std::wstring_view text)
{
    const std::string utf8 = toUtf8(text);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::wstring toWide(const std::filesystem::path& path)
{
    const std::u8string utf8 = path.u8string();
    return fromUtf8(std::string(utf8.begin(), utf8.end()));
}

std::filesystem::path relativeName(std::wstring_view name)
{
    std::filesystem::path result;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        const auto part = name.substr(start, end - start);
        if (!part.empty() && part != L".")
            result /= toPath(part);
        start = end + 1;
    }
    return result;
}

std::optional<std::filesystem::path> pathInside(const std::filesystem::path& folder,
                                                std::wstring_view name)
{
    if (name.empty() || isSeparator(name.front()))
        return std::nullopt;
    // "C:" alone or as a first part: a drive on the system these names were written for.
    if (name.size() >= 2 && name[1] == L':')
        return std::nullopt;
    const auto relative = relativeName(name);
    if (relative.empty())
        return std::nullopt;
    for (const auto& part : relative) {
        if (part == "..")
            return std::nullopt;
    }
    return folder / relative;
}

std::wstring fileNameFrom(std::wstring_view name)
{
    std::wstring cleaned;
    for (wchar_t c : name) {
        if (!isForbiddenInFileName(c))
            cleaned.push_back(c);
    }
    // ".." can reappear once the separators between dots are gone ("./." → ".."), so
    // remove it until none is left.
    for (std::size_t at = cleaned.find(L".."); at != std::wstring::npos; at = cleaned.find(L".."))
        cleaned.erase(at, 2);
    while (!cleaned.empty() && (cleaned.front() == L'.' || cleaned.front() == L' '))
        cleaned.erase(cleaned.begin());
    // Cut before trimming the end: a dot left at the cut would meet the extension's.
    if (cleaned.size() > kMaxFileNameLength)
        cleaned.resize(kMaxFileNameLength);
    while (!cleaned.empty() && (cleaned.back() == L'.' || cleaned.back() == L' '))
        cleaned.pop_back();
    return cleaned;
}

} // namespace platform
