#pragma once

#include "platform/result.h"

#include <filesystem>

namespace platform {

// The system's check behind createPrivateFolder: the folder exists, is a folder itself (not
// a link to one), belongs to this user and is closed to others. One of ours that is open
// to others (an old umask, a copy, an inherited list) is closed rather than refused.
// Unavailable for what is no folder or not ours; Io for one that cannot be looked at or
// closed. The message says which, in words.
[[nodiscard]] Result<void> checkPrivateFolder(const std::filesystem::path& folder);

} // namespace platform
