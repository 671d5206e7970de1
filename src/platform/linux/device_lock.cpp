#include "platform/device_lock.h"

#include "platform/debug_output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

std::string readProgramName()
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

const std::string& programName()
{
    static const std::string name = readProgramName();
    return name;
}

// The file at `path` is the one `fd` has open: a holder deletes the file as it lets go, so
// a lock taken on a file already deleted locks nothing anyone else will find.
bool isCurrent(int fd, const std::filesystem::path& path)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Whether a waiter that goes first holds the turn file. Opened for reading only: its close
// is not an event the waiters watch for, so testing does not wake the tester.
bool turnIsTaken(const std::filesystem::path& turn)
{
    const FileDescriptor fd(::open(turn.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0)
        return false;
    if (::flock(fd.get(), LOCK_SH | LOCK_NB) == 0) {
        (void)::flock(fd.get(), LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

std::filesystem::path turnFile(const std::filesystem::path& file)
{
    return std::filesystem::path(file.string() + ".turn");
}

// Locks the file now at `file`, opening it into `fd` if need be. Busy: another holds it, and
// fd stays open for the next try; Failed: `error` says why the file cannot be used.
enum class Try { Locked, Busy, Failed };
Try tryLock(FileDescriptor& fd, const std::filesystem::path& file, std::string& error)
{
    while (true) {
        if (fd.get() < 0) {
            fd = FileDescriptor(
                ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
            if (fd.get() < 0) {
                error = file.string() + ": " + std::strerror(errno);
                return Try::Failed;
            }
        }
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno == EWOULDBLOCK)
                return Try::Busy;
            error = file.string() + ": " + std::strerror(errno);
            return Try::Failed;
        }
        if (isCurrent(fd.get(), file))
            return Try::Locked;
        // Its holder deleted it on the way out: the lock is on whatever file is there now.
        fd.reset();
    }
}

void unlinkAndClose(FileDescriptor& fd, const std::filesystem::path& file)
{
    // Deleted while still locked, so no one can take a lock on it between the two; a waiter
    // that has it open finds it gone and opens the new one.
    if (fd.get() < 0)
        return;
    (void)::unlink(file.c_str());
    (void)::flock(fd.get(), LOCK_UN);
    fd.reset();
}

// Deletes a file this lock left behind, when it can be taken at once: a file someone holds
// is theirs to delete.
void removeLeftFile(const std::filesystem::path& file)
{
    FileDescriptor fd(::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || !isCurrent(fd.get(), file))
        return;
    unlinkAndClose(fd, file);
}

// Deletes the lock and turn files in the folder that no one holds: a holder killed before
// it let go leaves its file, and one named for a process that served an emulated device
// is never taken again. Each goes as removeLeftFile would, so a live holder keeps its own.
void removeStaleFiles(const std::filesystem::path& folder)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with("device-") &&
            (name.ends_with(".lock") || name.ends_with(".lock.turn")))
            removeLeftFile(it->path());
    }
}

} // namespace

struct DeviceLock::State {
    std::filesystem::path file;
    FileDescriptor held; // open and locked while held
    Turn heldTurn = Turn::Queue;
    bool fileLeft = false; // a live frame let go and left the file for the next one
};

DeviceLock::DeviceLock() : m_state(std::make_unique<State>()) {}
DeviceLock::~DeviceLock()
{
    release();
    if (m_state->fileLeft)
        removeLeftFile(m_state->file);
}

void DeviceLock::setFile(const std::filesystem::path& folder, const std::string& name)
{
    const auto file = folder / name;
    if (file == m_state->file)
        return;
    release();
    if (std::exchange(m_state->fileLeft, false))
        removeLeftFile(m_state->file);
    m_state->file = file;
    removeStaleFiles(folder);
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
    if (m_state->held.get() < 0)
        return;
    if (m_state->heldTurn == Turn::First) {
        // The next live frame follows within milliseconds: the file stays for it, so a
        // stream creates and deletes no file per frame. The close still wakes the waiters.
        (void)::flock(m_state->held.get(), LOCK_UN);
        m_state->held.reset();
        m_state->fileLeft = true;
        return;
    }
    // The close is what wakes the waiters (they watch for it); by then the file is gone
    // and the lock free, and a device seen once leaves nothing behind in the folder.
    unlinkAndClose(m_state->held, m_state->file);
    m_state->fileLeft = false;
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
    return parseLockHolder(std::string_view(text, static_cast<std::size_t>(got)));
}

Result<void> DeviceLock::acquire(std::chrono::milliseconds wait, Turn turn)
{
    if (isHeld())
        return {};
    const auto& file = m_state->file;
    if (file.empty())
        return makeError(Error::Code::InvalidInput, "no device lock file chosen");
    const auto deadline = std::chrono::steady_clock::now() + wait;
    const auto turnPath = turnFile(file);
    FileDescriptor fd;
    FileDescriptor myTurn; // held while this waiter goes first
    struct TurnRelease {
        FileDescriptor& fd;
        const std::filesystem::path& path;
        ~TurnRelease() { unlinkAndClose(fd, path); }
    } turnRelease{myTurn, turnPath};

    // Watches are made after the first refusal, and always before the next try: a holder
    // that lets go between that try and the wait still wakes the wait (its close is the
    // event). A file that did not exist when watched is tried, then watched again.
    FileDescriptor watch;
    bool watching = false;
    std::string error;
    while (true) {
        bool fileWatched = false;
        bool turnWatched = false;
        if (watching && watch.get() >= 0) {
            // Again each time: a file deleted and made anew is another file to watch.
            const auto add = [&watch](const std::filesystem::path& path) {
                constexpr std::uint32_t kEvents = IN_CLOSE_WRITE | IN_DELETE_SELF;
                if (::inotify_add_watch(watch.get(), path.c_str(), kEvents) >= 0)
                    return true;
                if (errno != ENOENT)
                    watch.reset();
                return false;
            };
            fileWatched = add(file);
            turnWatched = turn == Turn::Queue && watch.get() >= 0 && add(turnPath);
        }
        // A waiter that goes first holds the turn file; the others let it have the device
        // when its holder lets go, so a stream is not starved by back-to-back sequences.
        const bool yield = turn == Turn::Queue && turnIsTaken(turnPath);
        bool unwatched = yield && !turnWatched;
        if (!yield) {
            const Try tried = tryLock(fd, file, error);
            unwatched = !fileWatched;
            if (tried == Try::Locked)
                break;
            if (tried == Try::Failed)
                return makeError(Error::Code::Io, error);
        }
        if (wait.count() <= 0)
            return makeError(Error::Code::Timeout, describeHolder(holder()));
        if (turn == Turn::First && myTurn.get() < 0) {
            // One waiter goes first; another that comes meanwhile simply waits.
            std::string ignored;
            if (tryLock(myTurn, turnPath, ignored) != Try::Locked)
                myTurn.reset();
        }
        if (!watching || (unwatched && watch.get() >= 0)) {
            if (!watching)
                watch = FileDescriptor(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
            watching = true;
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

    // Who holds it, for whoever has to wait; the lock is what counts. A file left by this
    // program's last live frame usually names it already.
    const std::string note = std::to_string(::getpid()) + " " + programName() + "\n";
    char written[128];
    const ssize_t got = ::pread(fd.get(), written, sizeof written, 0);
    const bool current = got == static_cast<ssize_t>(note.size()) &&
                         std::memcmp(written, note.data(), note.size()) == 0;
    const bool noted = current || (::ftruncate(fd.get(), 0) == 0 &&
                                   ::pwrite(fd.get(), note.data(), note.size(), 0) ==
                                       static_cast<ssize_t>(note.size()));
    if (!noted)
        debugOutput("device lock: holder not noted in " + file.string());
    m_state->held = std::move(fd);
    m_state->heldTurn = turn;
    return {};
}

} // namespace platform
