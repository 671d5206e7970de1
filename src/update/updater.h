#pragma once

#include "platform/http.h"
#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// The download half of an update, run by halvek-update in its own process.
namespace update {

// The registered message that carries the updater's reports to the program: wParam is the
// event, lParam its value.
inline constexpr std::wstring_view kUpdaterReportMessage =
    L"{4695579F-999A-41d4-9FAF-EFFCE93EBF15}";

enum class UpdaterEvent : std::int32_t {
    Done = 1,
    Failed = 2,
    SizeMismatch = 3,
    Progress = 4, // lParam: percent, 0 to 100
};

// $XDG_CACHE_HOME/SPhalvek2vizudi/UpdateData
std::filesystem::path updateFolder();

struct DownloadRequest {
    std::wstring url;               // from the service's answer: untrusted
    std::wstring fileName;          // from the service's answer: made safe before use
    std::uint64_t expectedSize = 0; // from the service; 0: not known, not checked
    std::filesystem::path extraCaFile;
    std::string proxy; // empty: the environment's proxy, if any
};

struct DownloadResult {
    std::filesystem::path file; // the finished file inside the update folder
    std::uint64_t size = 0;
};

// Downloads into `folder` under a safe form of the name, continuing a partial file
// ("<name>.part") left by an earlier run only when "<name>.part.source" says it came from
// the same address with the same expected size (and, under If-Range, the same ETag or date
// where the server gave one); any other partial file is started over. Moves the file to its
// name only when its size is the expected one. A partial file that grew past the expected
// size is removed.
[[nodiscard]] platform::Result<DownloadResult>
downloadUpdate(platform::HttpClient& client, const DownloadRequest& request,
               const std::filesystem::path& folder,
               const std::function<void(UpdaterEvent, std::int64_t)>& report);

// The percentage of a download, 0 to 100 whatever the numbers.
std::int64_t percentOf(std::uint64_t received, std::uint64_t total);

} // namespace update
