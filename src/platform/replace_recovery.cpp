#include "platform/replace_recovery.h"

#include "platform/debug_output.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string shown(const fs::path& path)
{
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

void removeLeftover(const ReplaceFileOps& ops, const fs::path& temporary)
{
    // What stays is swept with the other stale temporary files.
    if (!ops.remove(temporary))
        debugOutput("temporary file not removed: " + shown(temporary));
}

} // namespace

Result<void> recoverFailedReplace(std::uint32_t code, const Error& failure, const fs::path& file,
                                  const fs::path& temporary, const ReplaceFileOps& ops)
{
    // Whatever went wrong, a file under the name is the old one, whole (or something that
    // must not be moved over, such as a file another program holds).
    if (ops.exists(file)) {
        removeLeftover(ops, temporary);
        return failure;
    }
    const bool neverWritten = code == kErrorFileNotFound || code == kErrorPathNotFound;
    const Result<void> moved = ops.move(temporary, file);
    if (moved) {
        if (!neverWritten)
            debugOutput("replace of " + shown(file) + " failed (" + std::to_string(code) +
                        "); its new content was moved into place");
        return {};
    }
    if (neverWritten) {
        removeLeftover(ops, temporary);
        return moved.error();
    }
    // The replace lost the old file on the way (1176 removed it, 1177 renamed it to a name
    // of the system's choosing): the temporary file may be the only copy left, so it stays.
    return makeError(Error::Code::Io, failure.message + "; its new content is kept in " +
                                          shown(temporary) + " (" + moved.error().message + ")");
}

} // namespace platform
