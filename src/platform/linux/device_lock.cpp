#include "platform/device_lock.h"

#include "platform/debug_output.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace platform {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

std::string programName()
{
    char name[64] = {};
    const FileDescriptor comm(::open("/proc/self/comm", O_RDONLY | O_CLOEXEC));
    if (comm.get() < 0)
        return {};
    const ssize_t got = ::read(comm.get(), name, sizeof name - 1);
    if (got <= 0)
        return {};
    std::string text(name, static_cast<std::size_t>(got));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::optional<LockHolder> parseHolder(std::string_view text)
{
    // "<pid> <program>\n", as note() writes it; anything else is no holder we can name.
    const auto space = text.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    LockHolder holder;
    const auto [end, error] = std::from_chars(text.data(), text.data() + space, holder.processId);
    if (error != std::errc{} || end != text.data() + space || holder.processId <= 0)
        return std::nullopt;
    std::string_view program = text.substr(space + 1);
    if (const auto newline = program.find('\n'); newline != std::string_view::npos)
        program = program.substr(0, newline);
    for (const char c : program) {
        if (static_cast<unsigned char>(c) < 0x20)
            return std::nullopt;
    }
    holder.program = std::string(program);
    return holder;
}

} // namespace

struct DeviceLock::State {
    std::filesystem::path file;
    FileDescriptor held; // open and locked while held
};

DeviceLock::DeviceLock() : m_state(std::make_unique<State>()) {}
DeviceLock::~DeviceLock() = default;

void DeviceLock::setFile(const std::filesystem::path& folder, const std::string& name)
{
    const auto file = folder / name;
    if (file == m_state->file)
        return;
    release();
    m_state->file = file;
}

bool DeviceLock::hasFile() const
{
    return !m_state->file.empty();
}

bool DeviceLock::isHeld() const
{
    return m_state->held.get() >= 0;
}

void DeviceLock::release()
{
    // Unlock, then close: the close is what wakes the waiters (they watch for it), and by
    // then the lock is free.
    if (m_state->held.get() >= 0)
        (void)::flock(m_state->held.get(), LOCK_UN);
    m_state->held.reset();
}

std::optional<LockHolder> DeviceLock::holder() const
{
    const FileDescriptor fd(::open(m_state->file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0)
        return std::nullopt;
    char text[128] = {};
    const ssize_t got = ::pread(fd.get(), text, sizeof text - 1, 0);
    if (got <= 0)
        return std::nullopt;
    return parseHolder(std::string_view(text, static_cast<std::size_t>(got)));
}

Result<void> DeviceLock::acquire(std::chrono::milliseconds wait)
{
    if (isHeld())
        return {};
    const auto& file = m_state->file;
    if (file.empty())
        return makeError(Error::Code::InvalidInput, "no device lock file chosen");
    const auto deadline = std::chrono::steady_clock::now() + wait;
    FileDescriptor fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.get() < 0)
        return makeError(Error::Code::Io, file.string() + ": " + std::strerror(errno));

    // The watch is made on the first refusal only, and before the next try: a holder that
    // lets go between that try and the wait still wakes the wait (its close is the event).
    FileDescriptor watch;
    bool watching = false;
    while (true) {
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return makeError(Error::Code::Io, file.string() + ": " + std::strerror(errno));
        if (wait.count() <= 0)
            return makeError(Error::Code::Timeout, describeHolder(holder()));
        if (!watching) {
            watching = true;
            watch = FileDescriptor(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
            if (watch.get() >= 0 && ::inotify_add_watch(watch.get(), file.c_str(), IN_CLOSE) < 0)
                watch.reset();
            continue;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || watch.get() < 0) {
            return makeError(Error::Code::Timeout, describeHolder(holder()) + " for more than " +
                                                       std::to_string(wait.count()) + " ms");
        }
        pollfd entry{watch.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            return makeError(Error::Code::Io,
                             std::string("device lock wait: ") + std::strerror(errno));
        if (ready > 0) {
            // A broken watch must not wake the loop again and again: one more try, then the
            // deadline decides.
            if ((entry.revents & (POLLERR | POLLNVAL)) != 0) {
                watch.reset();
                continue;
            }
            char events[1024];
            while (::read(watch.get(), events, sizeof events) > 0) {
            }
        }
    }

    // Who holds it, for whoever has to wait; the lock is what counts.
    const std::string note = std::to_string(::getpid()) + " " + programName() + "\n";
    const bool noted =
        ::ftruncate(fd.get(), 0) == 0 &&
        ::pwrite(fd.get(), note.data(), note.size(), 0) == static_cast<ssize_t>(note.size());
    if (!noted)
        debugOutput("device lock: holder not noted in " + file.string());
    m_state->held = std::move(fd);
    return {};
}

} // namespace platform
