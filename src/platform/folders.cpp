#include "platform/folders.h"

#include "platform/paths.h"
#include "platform/private_folder.h"

// The folder rules both systems share; where the base folders are and how a folder is made
// private are each system's.

namespace platform {

namespace fs = std::filesystem;

Result<fs::path> instanceRuntimeFolder()
{
    auto base = runtimeFolder();
    if (!base)
        return base.error();
    const auto folder = *base / toPath(kInstanceIdentifier);
    if (auto created = createPrivateFolder(folder); !created)
        return created.error();
    return folder;
}

fs::path programFolderFor(const fs::path& folder)
{
    std::error_code error;
    if (fs::is_directory(folder / "DefaultData", error) || fs::is_directory(folder / "skin", error))
        return folder;
    const auto installed = folder.parent_path() / "share" / "halvek";
    if (fs::is_directory(installed, error))
        return installed;
    return folder;
}

fs::path programFolder()
{
    return programFolderFor(executableFolder());
}

Result<void> createPrivateFolder(const fs::path& folder)
{
    if (auto made = createFolders(folder); !made)
        return made.error();
    return checkPrivateFolder(folder);
}

} // namespace platform
