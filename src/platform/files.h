#pragma once

#include "platform/result.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The whole content of a file of at most maxBytes. NotFound when it does not exist,
// TooLarge when it is bigger than maxBytes (nothing of it is read), Io otherwise.
[[nodiscard]] Result<std::string> readFileBounded(const std::filesystem::path& file,
                                                  std::size_t maxBytes);

// Replaces the file's content in one step: the bytes go to a temporary file in the same
// folder, reach the disk, and that file is renamed over the old one. Whatever happens on
// the way, the old file stays whole and no temporary file is left behind.
[[nodiscard]] Result<void> writeFileAtomically(const std::filesystem::path& file,
                                               std::string_view content);

} // namespace platform
