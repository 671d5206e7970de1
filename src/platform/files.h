#pragma once

#include "platform/result.h"

#include <chrono>
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
// the way, the old file stays whole and no temporary file is left behind, with one
// exception on Windows: a replace that lost the old file part-way leaves the content under
// the temporary name when it cannot be moved into place, and the error says so. The new
// file is owner-only (0600, or less where the old file allowed less). A symbolic link the
// user made is kept: the file it leads to is the one replaced.
[[nodiscard]] Result<void> writeFileAtomically(const std::filesystem::path& file,
                                               std::string_view content);

// Renames the file to "<file><suffix>" (then "<suffix>1", "<suffix>2", ... when taken) so
// that a file about to be replaced is kept whole. Returns the new name.
[[nodiscard]] Result<std::filesystem::path> setAsideFile(const std::filesystem::path& file,
                                                         std::string_view suffix);

// Removes the temporary files that writeFileAtomically leaves only when its process was
// killed mid-write, once they are older than minimumAge (younger ones may belong to a
// write still running). Returns how many were removed.
std::size_t removeStaleTemporaryFiles(const std::filesystem::path& folder,
                                      std::chrono::seconds minimumAge);

inline constexpr std::chrono::milliseconds kFolderLockTimeout{5000};

// An advisory lock on a folder, shared by every process of the user that takes it: the
// GUI and halvekctl hold it around each read-modify-write of the files in the folder, so
// neither loses the other's change. Taking it again on a thread that holds it only counts,
// so nested operations never wait for themselves. Released by the destructor.
class FolderLock {
public:
    // Waits up to `timeout` while another process holds it: Timeout then; NotFound when
    // the folder does not exist.
    [[nodiscard]] static Result<FolderLock>
    acquire(const std::filesystem::path& folder,
            std::chrono::milliseconds timeout = kFolderLockTimeout);

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&&) = delete;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    explicit FolderLock(std::string key) : m_key(std::move(key)) {}

    std::string m_key; // empty once moved from
};

} // namespace platform
