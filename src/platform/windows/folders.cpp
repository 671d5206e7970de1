#include "platform/folders.h"

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/windows/win_error.h"

#include <cstdlib>
#include <optional>
#include <shlobj.h>
#include <string>
#include <vector>
#include <windows.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using windows::displayName;

// The variable when set to an absolute path ("C:\..." or "\\server\..."), read in UTF-16
// so that a user name beyond the code page survives.
std::optional<fs::path> absoluteFromEnvironment(const wchar_t* variable)
{
    const DWORD size = GetEnvironmentVariableW(variable, nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(variable, value.data(), size);
    if (length == 0 || length >= size)
        return std::nullopt;
    value.resize(length);
    fs::path path(value);
    if (!path.is_absolute())
        return std::nullopt;
    return path;
}

std::optional<fs::path> knownFolder(REFKNOWNFOLDERID id)
{
    wchar_t* found = nullptr;
    std::optional<fs::path> result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &found)) && found)
        result = fs::path(found);
    CoTaskMemFree(found);
    return result;
}

// The environment first: it is what the system sets up for the user, and what a test
// points elsewhere; the shell's own answer when it is missing.
fs::path userFolder(const wchar_t* variable, REFKNOWNFOLDERID id)
{
    if (auto folder = absoluteFromEnvironment(variable))
        return *folder;
    if (auto folder = knownFolder(id))
        return *folder;
    debugOutput(L"folders: no " + std::wstring(variable) + L"; using the temporary folder");
    std::error_code error;
    return fs::temp_directory_path(error);
}

} // namespace

fs::path homeFolder()
{
    return userFolder(L"USERPROFILE", FOLDERID_Profile);
}

fs::path userDataFolder()
{
    return userFolder(L"APPDATA", FOLDERID_RoamingAppData);
}

fs::path configFolder()
{
    return userFolder(L"APPDATA", FOLDERID_RoamingAppData);
}

fs::path cacheFolder()
{
    return userFolder(L"LOCALAPPDATA", FOLDERID_LocalAppData);
}

// The user's own temporary folder lies in the profile, closed to other users already.
Result<fs::path> runtimeFolder()
{
    std::error_code error;
    auto folder = fs::temp_directory_path(error);
    if (error)
        return makeError(Error::Code::Unavailable, "no temporary folder: " + error.message());
    return folder;
}

fs::path executableFolder()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            std::error_code error;
            return fs::current_path(error);
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return fs::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

Result<void> createFolders(const fs::path& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        return makeError(Error::Code::Io, displayName(folder) + ": " + error.message());
    if (!fs::is_directory(folder, error))
        return makeError(Error::Code::Io, displayName(folder) + " is not a folder");
    return {};
}

// The folders under the user's profile are closed to other users by their inherited access
// lists already; nothing is tightened here.
std::size_t securePrivateFolders()
{
    return 0;
}

} // namespace platform
