#pragma once

#include "platform/result.h"

#include <filesystem>
#include <optional>
#include <string>

namespace profile {

// A regular file past kMaxJsonFileSize.
[[nodiscard]] bool isTooLargeToRead(const std::filesystem::path& file);

// A stored file past kMaxJsonFileSize can never be read, so the next write would replace
// it unseen. Such a file is renamed to "<name>.toolarge" ("<name>.toolarge1", ... when
// taken) before anything writes there. Nullopt when the file is missing or within the
// bound; the sentence for the user when it was set aside; the error (in words) when it is
// too large but could not be renamed: the caller must then not write there. asideAs, when
// given, receives the new name.
[[nodiscard]] std::optional<platform::Result<std::string>>
setAsideIfTooLarge(const std::filesystem::path& file, std::filesystem::path* asideAs = nullptr);

} // namespace profile
