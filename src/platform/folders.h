#pragma once

#include "platform/result.h"

#include <filesystem>
#include <string_view>

namespace platform {

// The program's identifier. It names the program's own folder inside the data, config and
// runtime folders, the single-instance lock and the instance message.
inline constexpr std::wstring_view kInstanceIdentifier = L"SPhalvek2vizudi";

// Per-user base folders, read from the environment on every call. A variable that is
// unset, empty or relative is ignored, as the XDG base directory rules say. Nothing is
// created here.
std::filesystem::path homeFolder();
std::filesystem::path userDataFolder(); // $XDG_DATA_HOME, else ~/.local/share
std::filesystem::path configFolder();   // $XDG_CONFIG_HOME, else ~/.config
std::filesystem::path cacheFolder();    // $XDG_CACHE_HOME, else ~/.cache

// Where sockets and lock files live: $XDG_RUNTIME_DIR when it names a folder, else a
// folder of this user's own under the temporary folder ("halvek-<uid>"), created
// owner-only. Fails when that fallback exists but is not a folder owned by this user.
[[nodiscard]] Result<std::filesystem::path> runtimeFolder();

// The program's own runtime folder (runtimeFolder() / kInstanceIdentifier), created
// owner-only when missing. Sockets and the instance lock live here.
[[nodiscard]] Result<std::filesystem::path> instanceRuntimeFolder();

// The folder of the running executable.
std::filesystem::path executableFolder();

// Where the shipped "DefaultData" and "skin" folders are: the executable's folder when it
// holds either (a build tree or a copied program), else the installed share/halvek
// folder beside the executable's bin folder. With neither, the executable's folder.
std::filesystem::path programFolder();
std::filesystem::path programFolderFor(const std::filesystem::path& executableFolder);

// Creates every missing level of the folder, owner-only (0700); succeeds when it exists
// already.
[[nodiscard]] Result<void> createFolders(const std::filesystem::path& folder);

// The program's data, config and cache folders (each base folder / kInstanceIdentifier):
// created owner-only when missing, and, when they exist, every folder in them closed to
// others (0700) and every file made owner-only (0600). Profiles and macros may hold typed
// passwords. Symbolic links are not followed. Returns how many entries were tightened.
std::size_t securePrivateFolders();

// The same with new levels owner-only (0700). The folder itself must end up owned by this
// user and closed to others, or the call fails: other users must not reach what it holds.
[[nodiscard]] Result<void> createPrivateFolder(const std::filesystem::path& folder);

} // namespace platform
