#pragma once

#include <cstdint>
#include <filesystem>

namespace platform {

// The name writeFileAtomically writes a file's new content under before it takes the
// file's place: ".<name>.tmp-<pid>-<n>" in the same folder, hidden and with a suffix no
// reader looks for, so folder listings never pick it up. n counts up in this process.
std::filesystem::path temporaryFileFor(const std::filesystem::path& file, std::uint64_t processId);

// Whether the file's name is one temporaryFileFor gives.
bool isTemporaryFile(const std::filesystem::path& file);

} // namespace platform
