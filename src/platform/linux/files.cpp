#include "platform/files.h"

#include "platform/bounded_read.h"
#include "platform/temporary_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    // Closes now and reports the result: a delayed write error can show up only here.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

Error ioError(const fs::path& file, int error)
{
    return makeError(error == ENOENT ? Error::Code::NotFound : Error::Code::Io,
                     file.string() + ": " + std::strerror(error));
}

bool writeAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Folder locks held by this thread: the descriptor that carries the lock and how often
// it was taken.
struct HeldLock {
    int fd = -1;
    int depth = 0;
};
thread_local std::map<std::string, HeldLock> t_heldLocks;

} // namespace

Result<std::string> readFileBounded(const fs::path& file, std::size_t maxBytes)
{
    // Without O_NONBLOCK a FIFO would hold the open until a writer came.
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.isValid())
        return ioError(file, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return ioError(file, errno);
    if (!S_ISREG(info.st_mode))
        return makeError(Error::Code::Io, file.string() + " is not a regular file");
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return fileTooLarge(file.string(), maxBytes);
    return readAtMost(
        maxBytes,
        [&](char* into, std::size_t room) -> Result<std::size_t> {
            for (;;) {
                const ssize_t got = ::read(fd.get(), into, room);
                if (got >= 0)
                    return static_cast<std::size_t>(got);
                if (errno != EINTR)
                    return ioError(file, errno);
            }
        },
        file.string());
}

namespace {

// Where a write to `file` lands. A profile the user links in from elsewhere (a synced folder,
// another disk) must stay linked, so a link of ours is followed to the file it names and that
// file is replaced; the link itself is kept. A link someone else made is not followed (as the
// kernel's protected_symlinks would not), and the write replaces it instead.
Result<fs::path> writeTarget(const fs::path& file)
{
    fs::path target = file;
    // The kernel's own bound on a chain of links.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {};
        if (::lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) ||
            link.st_uid != ::geteuid())
            return target;
        std::error_code error;
        const fs::path named = fs::read_symlink(target, error);
        if (error)
            return ioError(target, error.value());
        target = named.is_absolute() ? named : target.parent_path() / named;
    }
    return ioError(file, ELOOP);
}

} // namespace

Result<void> writeFileAtomically(const fs::path& linkOrFile, std::string_view content)
{
    const auto target = writeTarget(linkOrFile);
    if (!target)
        return target.error();
    const fs::path& file = *target;
    const fs::path temporary = temporaryFileFor(file, static_cast<std::uint64_t>(::getpid()));
    FileDescriptor fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.isValid())
        return ioError(temporary, errno);
    auto fail = [&](int error) -> Result<void> {
        ::unlink(temporary.c_str());
        return ioError(file, error);
    };
    // Owner-only whatever the umask, and never more than the old file allowed: a file someone
    // made private stays so, and one made readable by others (a copy put there by hand)
    // becomes private with the user's data in it.
    mode_t mode = 0600;
    struct stat old {};
    if (::lstat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        mode &= old.st_mode;
    if (::fchmod(fd.get(), mode) != 0 || !writeAll(fd.get(), content) || ::fsync(fd.get()) != 0)
        return fail(errno);
    if (!fd.close())
        return fail(errno);
    if (::rename(temporary.c_str(), file.c_str()) != 0)
        return fail(errno);
    // The rename itself reaches the disk only with the folder.
    FileDescriptor folderFd(
        ::open(temporary.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.isValid())
        (void)::fsync(folderFd.get());
    return {};
}

Result<FolderLock> FolderLock::acquire(const fs::path& folder, std::chrono::milliseconds timeout)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(folder, error).lexically_normal();
    std::string key = (error ? folder : absolute).string();
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    if (auto held = t_heldLocks.find(key); held != t_heldLocks.end()) {
        ++held->second.depth;
        return FolderLock(std::move(key));
    }
    const int fd = ::open(key.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return ioError(folder, errno);
    // flock has no timed wait. The lock is held for one file operation at a time, so a
    // short, growing pause between attempts is enough, and only while another holds it.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto pause = std::chrono::milliseconds(1);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int reason = errno;
        if (reason == EINTR)
            continue;
        if (reason != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            if (reason == EWOULDBLOCK)
                return makeError(Error::Code::Timeout,
                                 folder.string() + " is in use by another program");
            return ioError(folder, reason);
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    t_heldLocks[key] = HeldLock{fd, 1};
    return FolderLock(std::move(key));
}

FolderLock::FolderLock(FolderLock&& other) noexcept : m_key(std::move(other.m_key))
{
    other.m_key.clear();
}

FolderLock::~FolderLock()
{
    if (m_key.empty())
        return;
    const auto held = t_heldLocks.find(m_key);
    if (held == t_heldLocks.end() || --held->second.depth > 0)
        return;
    ::close(held->second.fd); // closing the last descriptor releases the lock
    t_heldLocks.erase(held);
}

} // namespace platform
