#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Wide text <-> path. Names on disk are UTF-8. std::filesystem's own wide conversion goes
// through the "C" locale and throws on anything beyond ASCII, so wide names always pass
// through these two.
std::filesystem::path toPath(std::wstring_view text);
std::wstring toWide(const std::filesystem::path& path);

// A relative data or skin name written with "\" or "/" as separators
// ("skin\xml\main.xml") as a relative path. Empty and "." parts are dropped; ".." parts
// are kept (pathInside refuses them).
std::filesystem::path relativeName(std::wstring_view name);

// folder / name, or nullopt when the name would reach outside the folder: an absolute
// name, a drive ("C:"), a ".." part, or nothing at all. For names that come from files.
std::optional<std::filesystem::path> pathInside(const std::filesystem::path& folder,
                                                std::wstring_view name);

// `name` made fit to be a file name on every system the program runs on: characters no
// system takes in a name dropped, no "..", no dot or space at either end, at most
// kMaxFileNameLength characters. Empty when nothing usable is left.
inline constexpr std::size_t kMaxFileNameLength = 120;
std::wstring fileNameFrom(std::wstring_view name);

} // namespace platform
