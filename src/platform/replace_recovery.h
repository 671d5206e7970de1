#pragma once

// What an atomic rewrite does when the system's replace of the old file by the finished
// temporary one failed: a decision on the system's error code and on which files are left,
// apart from the system calls, so that tests can put in any answer of the system.

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <functional>

namespace platform {

// The system's error codes the decision tells apart (Windows' numbers).
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
// The old file is gone and the new content is only under the temporary name.
inline constexpr std::uint32_t kErrorUnableToMoveReplacement = 1176;
// The old file was moved to another name; the new content is still under the temporary one.
inline constexpr std::uint32_t kErrorUnableToMoveReplacement2 = 1177;

// The file operations the decision takes; a test hands in its own.
struct ReplaceFileOps {
    std::function<bool(const std::filesystem::path&)> exists;
    // Renames `from` to `to`, which must not exist; on the disk when it succeeds.
    std::function<Result<void>(const std::filesystem::path& from, const std::filesystem::path& to)>
        move;
    // False when the file could not be removed.
    std::function<bool(const std::filesystem::path&)> remove;
};

// After replacing `file` by `temporary` failed with `code` (described by `failure`): when the
// file still has its name, it is whole and the temporary file goes; when the name is free,
// the temporary file is moved there (a first write, or a replace that lost the old file
// part-way). A temporary file that is the only copy left of the file is never removed: the
// error then names where the content is kept.
[[nodiscard]] Result<void> recoverFailedReplace(std::uint32_t code, const Error& failure,
                                                const std::filesystem::path& file,
                                                const std::filesystem::path& temporary,
                                                const ReplaceFileOps& ops);

} // namespace platform
