#include "platform/private_folder.h"

#include "platform/windows/folder_access.h"
#include "platform/windows/security.h"
#include "platform/windows/win_error.h"

#include <aclapi.h> // GetNamedSecurityInfoW

namespace platform {

namespace fs = std::filesystem;
using windows::displayName;

Result<void> checkPrivateFolder(const fs::path& folder)
{
    const std::wstring name = folder.wstring();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return windows::systemError(displayName(folder));
    // A link or junction may lead anywhere another user chose.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return makeError(Error::Code::Unavailable, displayName(folder) + " is not a folder");

    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT,
                                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                             &owner, nullptr, &acl, nullptr, &descriptor);
    if (read != ERROR_SUCCESS)
        return windows::systemError(displayName(folder) + ": access list not readable", read);
    const auto access = windows::judgeFolderAccess(owner, acl);
    LocalFree(descriptor);
    if (!access)
        return access.error();
    if (*access == windows::FolderAccess::AnotherOwner)
        return makeError(Error::Code::Unavailable,
                         displayName(folder) + " belongs to another user");
    if (*access == windows::FolderAccess::Private)
        return {};

    // Ours but open to others: close it rather than give up, as with a file mode.
    auto closed =
        windows::OwnerOnlySecurity::make(windows::OwnerOnlySecurity::Inheritance::ToContents);
    if (!closed)
        return closed.error();
    // SetFileSecurityW, not SetNamedSecurityInfoW: Wine reports the latter done on a folder
    // and changes nothing.
    if (!SetFileSecurityW(name.c_str(), DACL_SECURITY_INFORMATION, closed->descriptor()))
        return makeError(Error::Code::Io,
                         windows::errorText(displayName(folder) +
                                            " is open to other users and could not be closed"));
    return {};
}

} // namespace platform
