#include "platform/folders.h"

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/private_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

// An XDG variable counts only when set to an absolute path.
std::optional<fs::path> absoluteFromEnvironment(const char* variable)
{
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/')
        return std::nullopt;
    return fs::path(value);
}

std::string errnoText(int error)
{
    return std::strerror(error);
}

} // namespace

Result<void> checkPrivateFolder(const fs::path& folder)
{
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0)
        return makeError(Error::Code::Io, folder.string() + ": " + errnoText(errno));
    if (!S_ISDIR(info.st_mode))
        return makeError(Error::Code::Unavailable, folder.string() + " is not a folder");
    if (info.st_uid != ::getuid())
        return makeError(Error::Code::Unavailable, folder.string() + " belongs to another user");
    // Ours but open to others (an old umask, a copy): close it rather than give up.
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return makeError(Error::Code::Io, folder.string() +
                                              " is open to other users and could not be closed: " +
                                              errnoText(errno));
    return {};
}

fs::path homeFolder()
{
    if (auto home = absoluteFromEnvironment("HOME"))
        return *home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return fs::path(found->pw_dir);
    debugOutput("folders: no home folder for this user; using the temporary folder");
    return fs::temp_directory_path();
}

fs::path userDataFolder()
{
    if (auto folder = absoluteFromEnvironment("XDG_DATA_HOME"))
        return *folder;
    return homeFolder() / ".local" / "share";
}

fs::path configFolder()
{
    if (auto folder = absoluteFromEnvironment("XDG_CONFIG_HOME"))
        return *folder;
    return homeFolder() / ".config";
}

fs::path cacheFolder()
{
    if (auto folder = absoluteFromEnvironment("XDG_CACHE_HOME"))
        return *folder;
    return homeFolder() / ".cache";
}

Result<fs::path> runtimeFolder()
{
    if (auto folder = absoluteFromEnvironment("XDG_RUNTIME_DIR")) {
        std::error_code error;
        if (fs::is_directory(*folder, error))
            return *folder;
        debugOutput("folders: XDG_RUNTIME_DIR " + folder->string() +
                    " is not a folder; using a private temporary one");
    }
    std::error_code error;
    auto temporary = fs::temp_directory_path(error);
    if (error)
        temporary = "/tmp";
    const auto folder = temporary / ("halvek-" + std::to_string(::getuid()));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return makeError(Error::Code::Io, folder.string() + ": " + errnoText(errno));
    // The temporary folder is shared: someone may have made this name first.
    if (auto checked = checkPrivateFolder(folder); !checked)
        return checked.error();
    return folder;
}

fs::path executableFolder()
{
    std::error_code error;
    const auto executable = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return fs::current_path(error);
    return executable.parent_path();
}

Result<void> createFolders(const fs::path& folder)
{
    fs::path level;
    for (const auto& part : folder) {
        level /= part;
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return makeError(Error::Code::Io, level.string() + ": " + errnoText(errno));
    }
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return makeError(Error::Code::Io, folder.string() + " is not a folder");
    return {};
}

std::size_t securePrivateFolders()
{
    // Deep or huge trees are not ours; the walk stops well before either costs much.
    constexpr std::size_t kMaxEntries = 100000;
    std::size_t tightened = 0;
    std::size_t seen = 0;
    auto tighten = [&](const fs::path& path, mode_t wanted) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || info.st_uid != ::getuid())
            return;
        if ((info.st_mode & 07777 & ~wanted) == 0)
            return;
        if (::chmod(path.c_str(), info.st_mode & wanted) == 0)
            ++tightened;
        else
            debugOutput("folders: cannot close " + path.string() + ": " + errnoText(errno));
    };
    for (const fs::path& base : {userDataFolder(), configFolder(), cacheFolder()}) {
        const fs::path folder = base / toPath(kInstanceIdentifier);
        if (auto made = createFolders(folder); !made) {
            debugOutput("folders: " + made.error().message);
            continue;
        }
        tighten(folder, 0700);
        std::error_code error;
        for (fs::recursive_directory_iterator it(folder, error), end;
             !error && it != end && seen < kMaxEntries; it.increment(error), ++seen) {
            const auto type = it->symlink_status(error).type();
            if (type == fs::file_type::directory)
                tighten(it->path(), 0700);
            else if (type == fs::file_type::regular)
                tighten(it->path(), 0600);
        }
    }
    return tightened;
}

} // namespace platform
