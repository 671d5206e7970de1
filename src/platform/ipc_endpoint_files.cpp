#include "platform/ipc_endpoint_files.h"

#include "platform/text.h"

#include <atomic>
#include <cstdio>

namespace platform {

namespace fs = std::filesystem;

std::string ipcNameHash(std::wstring_view name)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : toUtf8(toLower(name))) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

fs::path ipcEndpointFile(const fs::path& folder, std::uint64_t processId, std::wstring_view name,
                         std::string_view suffix)
{
    static std::atomic<unsigned> counter{0};
    std::string file = std::to_string(processId);
    file.append("-");
    file.append(std::to_string(counter++));
    file.append("-");
    file.append(ipcNameHash(name));
    file.append(suffix);
    return folder / file; // ASCII only: the same name on every system
}

std::string ipcEndpointHash(const fs::path& file, std::string_view suffix)
{
    // Looked at in the system's own form: other files in the folder may have names that
    // convert to no other.
    const fs::path name = file.filename();
    const auto& text = name.native();
    constexpr std::size_t kHashDigits = 16;
    if (text.size() <= suffix.size() + kHashDigits)
        return {};
    const std::size_t hashStart = text.size() - suffix.size() - kHashDigits;
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (text[hashStart + kHashDigits + i] != static_cast<unsigned char>(suffix[i]))
            return {};
    std::string hash;
    for (std::size_t i = hashStart; i < hashStart + kHashDigits; ++i) {
        const auto c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return {};
        hash += static_cast<char>(c);
    }
    return hash;
}

std::vector<fs::path> ipcEndpointFiles(const fs::path& folder, std::string_view wantedHash,
                                       const fs::path& self, std::string_view suffix)
{
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const auto& path = entry->path();
        const std::string hash = ipcEndpointHash(path, suffix);
        if (hash.empty() || path == self || (!wantedHash.empty() && hash != wantedHash))
            continue;
        found.push_back(path);
    }
    return found;
}

} // namespace platform
