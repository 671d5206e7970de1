#include "platform/files.h"

#include "platform/bounded_read.h"
#include "platform/replace_recovery.h"
#include "platform/temporary_files.h"

#include "platform/thread_exit.h"

#include "platform/text.h"
#include "platform/windows/win_error.h"

#include <algorithm>
#include <functional>
#include <map>
#include <windows.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using windows::displayName;
using windows::Handle;
using windows::systemError;

// The name the file calls take: an absolute path past the old 260-character limit gets the
// "\\?\" form, which has no such limit (and no "/" or ".." handling, hence the cleanup).
std::wstring systemName(const fs::path& path)
{
    std::wstring name = path.wstring();
    if (name.size() < MAX_PATH - 12 || !path.is_absolute() || name.starts_with(L"\\\\"))
        return name;
    name = path.lexically_normal().make_preferred().wstring();
    return L"\\\\?\\" + name;
}

bool writeAll(HANDLE file, std::string_view content)
{
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0)
            return false;
        content.remove_prefix(written);
    }
    return true;
}

// Folder locks held by this thread: the named mutex that carries the lock and how often it
// was taken. A mutex belongs to the thread that took it, as the lock must.
struct HeldLock {
    HANDLE mutex = nullptr;
    int depth = 0;
};
using HeldLocks = std::map<std::wstring, HeldLock>;

// Not a thread_local map: MinGW would run its destructor on freed storage as a thread ends.
HeldLocks& heldLocks()
{
    thread_local HeldLocks* locks = nullptr;
    if (locks == nullptr) {
        locks = new HeldLocks;
        atThreadExit([](void* held) { delete static_cast<HeldLocks*>(held); }, locks);
    }
    return *locks;
}

// The file operations a failed replace is finished with.
ReplaceFileOps systemFileOps()
{
    return ReplaceFileOps{
        [](const fs::path& path) {
            return GetFileAttributesW(systemName(path).c_str()) != INVALID_FILE_ATTRIBUTES;
        },
        [](const fs::path& from, const fs::path& to) -> Result<void> {
            if (!MoveFileExW(systemName(from).c_str(), systemName(to).c_str(),
                             MOVEFILE_WRITE_THROUGH))
                return systemError(displayName(to));
            return {};
        },
        [](const fs::path& path) { return DeleteFileW(systemName(path).c_str()) != 0; }};
}

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kErrorPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(kErrorUnableToMoveReplacement == ERROR_UNABLE_TO_MOVE_REPLACEMENT);
static_assert(kErrorUnableToMoveReplacement2 == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);

} // namespace

Result<std::string> readFileBounded(const fs::path& file, std::size_t maxBytes)
{
    Handle handle(CreateFileW(systemName(file).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.isValid())
        return systemError(displayName(file));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.get(), &info))
        return systemError(displayName(file));
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return makeError(Error::Code::Io, displayName(file) + " is not a regular file");
    const auto size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes)
        return fileTooLarge(displayName(file), maxBytes);
    return readAtMost(
        maxBytes,
        [&](char* into, std::size_t room) -> Result<std::size_t> {
            DWORD got = 0;
            if (!ReadFile(handle.get(), into,
                          static_cast<DWORD>(std::min<std::size_t>(room, 1u << 30)), &got, nullptr))
                return systemError(displayName(file));
            return static_cast<std::size_t>(got);
        },
        displayName(file));
}

Result<void> writeFileAtomically(const fs::path& file, std::string_view content)
{
    const fs::path temporary = temporaryFileFor(file, GetCurrentProcessId());
    const std::wstring temporaryName = systemName(temporary);
    const std::wstring fileName = systemName(file);
    // ReplaceFileW would take a folder of that name for the old file (Wine does).
    if (const DWORD attributes = GetFileAttributesW(fileName.c_str());
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return makeError(Error::Code::Io, displayName(file) + " is a folder");
    Handle handle(CreateFileW(temporaryName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!handle.isValid())
        return systemError(displayName(temporary));
    if (!writeAll(handle.get(), content) || !FlushFileBuffers(handle.get())) {
        const DWORD error = GetLastError();
        handle.close();
        DeleteFileW(temporaryName.c_str());
        return systemError(displayName(file), error);
    }
    handle.close();
    // The finished file is an ordinary one; only the half-written one is hidden.
    SetFileAttributesW(temporaryName.c_str(), FILE_ATTRIBUTE_NORMAL);
    // ReplaceFileW keeps the old file's security and attributes; it needs an old file, so a
    // first write moves instead. Both are one step: a reader sees the old or the new file.
    // No backup name: Wine makes the backup by renaming the old file away first, which
    // would leave a moment with no file at all.
    if (ReplaceFileW(fileName.c_str(), temporaryName.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return {};
    const DWORD replaceError = GetLastError();
    return recoverFailedReplace(replaceError, systemError(displayName(file), replaceError), file,
                                temporary, systemFileOps());
}

Result<FolderLock> FolderLock::acquire(const fs::path& folder, std::chrono::milliseconds timeout)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(folder, error).lexically_normal();
    std::wstring key = toLower((error ? folder : absolute).wstring());
    while (key.size() > 3 && (key.back() == L'\\' || key.back() == L'/'))
        key.pop_back();
    std::replace(key.begin(), key.end(), L'/', L'\\');
    const std::string utf8Key = toUtf8(key);
    if (auto held = heldLocks().find(key); held != heldLocks().end()) {
        ++held->second.depth;
        return FolderLock(utf8Key);
    }
    if (!fs::is_directory(folder, error))
        return makeError(Error::Code::NotFound, displayName(folder) + " is not a folder");
    // A named mutex has the timed wait the lock needs, and the system releases it when its
    // holder ends however it ends. Mutex names may not hold "\", so the path is hashed.
    const std::wstring name =
        L"Local\\halvek-folder-" + std::to_wstring(std::hash<std::wstring>{}(key));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr)
        return windows::systemError(displayName(folder));
    const auto waitMs = static_cast<DWORD>(std::clamp<long long>(timeout.count(), 0, INFINITE - 1));
    const DWORD waited = WaitForSingleObject(mutex, waitMs);
    // Abandoned: its holder ended mid-operation; the files it wrote atomically are whole.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        if (waited == WAIT_TIMEOUT)
            return makeError(Error::Code::Timeout,
                             displayName(folder) + " is in use by another program");
        return windows::systemError(displayName(folder));
    }
    heldLocks()[key] = HeldLock{mutex, 1};
    return FolderLock(utf8Key);
}

FolderLock::FolderLock(FolderLock&& other) noexcept : m_key(std::move(other.m_key))
{
    other.m_key.clear();
}

FolderLock::~FolderLock()
{
    if (m_key.empty())
        return;
    const auto held = heldLocks().find(fromUtf8(m_key));
    if (held == heldLocks().end() || --held->second.depth > 0)
        return;
    ReleaseMutex(held->second.mutex);
    CloseHandle(held->second.mutex);
    heldLocks().erase(held);
}

} // namespace platform
