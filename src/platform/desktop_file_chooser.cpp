#include "platform/desktop_file_chooser.h"

#include "platform/hex.h"

namespace platform {

std::wstring systemFilterString(const std::vector<FileChoiceRequest::Filter>& filters)
{
    std::wstring text;
    for (const auto& filter : filters) {
        std::wstring patterns;
        for (const auto& pattern : filter.patterns) {
            if (pattern.empty())
                continue;
            if (!patterns.empty())
                patterns += L';';
            patterns += pattern;
        }
        if (filter.name.empty() || patterns.empty() ||
            filter.name.find(L'\0') != std::wstring::npos ||
            patterns.find(L'\0') != std::wstring::npos)
            continue;
        text += filter.name;
        text += L'\0';
        text += patterns;
        text += L'\0';
    }
    text += L'\0';
    return text;
}

std::optional<std::filesystem::path> pathFromFileUri(std::string_view uri)
{
    constexpr std::string_view kScheme = "file://";
    if (uri.substr(0, kScheme.size()) != kScheme)
        return std::nullopt;
    std::string_view rest = uri.substr(kScheme.size());
    // "file://localhost/x" names this machine too; any other host is not a local file.
    if (rest.substr(0, 9) == "localhost")
        rest.remove_prefix(9);
    if (rest.empty() || rest.front() != '/')
        return std::nullopt;
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        const auto value =
            i + 2 < rest.size() ? parseHex(rest.substr(i + 1, 2), 0xFF) : std::nullopt;
        // A NUL would cut the path short where the system reads it.
        if (!value || *value == 0)
            return std::nullopt;
        path += static_cast<char>(static_cast<unsigned char>(*value));
        i += 2;
    }
    return std::filesystem::path(path);
}

} // namespace platform
