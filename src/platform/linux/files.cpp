#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
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

} // namespace

Result<std::string> readFileBounded(const fs::path& file, std::size_t maxBytes)
{
    // One byte past the bound is read to tell "too large", so the bound itself must leave room.
    maxBytes = std::min(maxBytes, std::numeric_limits<std::size_t>::max() - 1);
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.isValid())
        return ioError(file, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return ioError(file, errno);
    if (!S_ISREG(info.st_mode))
        return makeError(Error::Code::Io, file.string() + " is not a regular file");
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return makeError(Error::Code::TooLarge,
                         file.string() + " is larger than " + std::to_string(maxBytes) + " bytes");
    // The size may change while we read: read at most one byte more than allowed to tell.
    std::string content(maxBytes + 1 > 65536 ? 65536 : maxBytes + 1, '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == content.size()) {
            if (content.size() > maxBytes)
                break;
            content.resize(std::min(content.size() * 2, maxBytes + 1));
        }
        const ssize_t got = ::read(fd.get(), content.data() + used, content.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return ioError(file, errno);
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    if (used > maxBytes)
        return makeError(Error::Code::TooLarge,
                         file.string() + " is larger than " + std::to_string(maxBytes) + " bytes");
    content.resize(used);
    return content;
}

Result<void> writeFileAtomically(const fs::path& file, std::string_view content)
{
    static std::atomic<unsigned> counter{0};
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    // Hidden and with a suffix no reader looks for, so folder listings never pick it up.
    // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict on chained string +.
    std::string name = ".";
    name.append(file.filename().string());
    name.append(".tmp-");
    name.append(std::to_string(::getpid()));
    name.append("-");
    name.append(std::to_string(counter++));
    const fs::path temporary = folder / name;
    FileDescriptor fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!fd.isValid())
        return ioError(temporary, errno);
    auto fail = [&](int error) -> Result<void> {
        ::unlink(temporary.c_str());
        return ioError(file, error);
    };
    // Keep the old file's permissions: a private file must not become readable by others.
    struct stat old {};
    if (::stat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(fd.get(), old.st_mode & 07777);
    if (!writeAll(fd.get(), content) || ::fsync(fd.get()) != 0)
        return fail(errno);
    if (!fd.close())
        return fail(errno);
    if (::rename(temporary.c_str(), file.c_str()) != 0)
        return fail(errno);
    // The rename itself reaches the disk only with the folder.
    FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.isValid())
        (void)::fsync(folderFd.get());
    return {};
}

} // namespace platform
