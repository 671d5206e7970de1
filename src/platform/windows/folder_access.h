#pragma once

// Shared by the Windows backend files only.

#include "platform/result.h"

#include <windows.h>

namespace platform::windows {

enum class FolderAccess {
    Private,      // ours, and nobody else let in
    OpenToOthers, // ours, but the list lets others in (or there is no list)
    AnotherOwner, // not ours: refuse it, whatever its list says
};

// A folder's owner and access list judged against this process: who may own a private
// folder or be let into it is this user (also as the owner an elevated process gives) and
// the system's own accounts, which can reach every file anyway. An entry that lets anyone
// else in, for the folder or for what is made inside, opens it; so does an entry of a kind
// not known here.
[[nodiscard]] Result<FolderAccess> judgeFolderAccess(PSID owner, PACL acl);

} // namespace platform::windows
