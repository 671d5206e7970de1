#include "platform/single_instance.h"

#include "platform/debug_output.h"
#include "platform/paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

struct SingleInstance::Lock {
    int fd = -1;
    ~Lock()
    {
        if (fd >= 0)
            ::close(fd); // drops the lock with the last descriptor
    }
};

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

Result<bool> SingleInstance::takeLock(const std::filesystem::path& folder,
                                      std::wstring_view identifier)
{
    const auto file = folder / toPath(std::wstring(identifier) + L".lock");
    auto lock = std::make_unique<Lock>();
    lock->fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock->fd < 0)
        return makeError(Error::Code::Io, file.string() + ": " + std::strerror(errno));
    // flock, not fcntl locks: those belong to the process, so a second claim from this
    // process would succeed, and they vanish when any descriptor of the file is closed.
    while (::flock(lock->fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            return false;
        return makeError(Error::Code::Io, file.string() + ": " + std::strerror(errno));
    }
    // The holder's process id, for whoever looks; the lock is what counts.
    const std::string pid = std::to_string(::getpid()) + "\n";
    const bool noted =
        ::ftruncate(lock->fd, 0) == 0 &&
        ::pwrite(lock->fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
    if (!noted)
        debugOutput("single instance: process id not noted in " + file.string());
    m_lock = std::move(lock);
    return true;
}

void SingleInstance::release()
{
    m_lock.reset();
}

} // namespace platform
