// The device server's connections on Linux: a Unix-domain stream socket at the server's path.

#include "device/hid/sim/socket_wire.h"

#include "platform/debug_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace hid::sim::wire {
namespace {

using Clock = std::chrono::steady_clock;

enum class Ready { Yes, TimedOut };

// Without a deadline the socket blocks as usual; with one, poll decides how long.
Ready waitUntil(int fd, short events, const Deadline& deadline)
{
    if (!deadline)
        return Ready::Yes;
    while (true) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
        if (left <= 0)
            return Ready::TimedOut;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, 60000)));
        if (ready < 0 && errno == EINTR)
            continue;
        // Errors and hang-ups are ready too: the next call on the socket reports them.
        if (ready != 0)
            return Ready::Yes;
    }
}

bool addressOf(const std::filesystem::path& socket, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    const std::string name = socket.string();
    if (name.empty() || name.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    return true;
}

class UnixStream final : public Stream {
public:
    explicit UnixStream(int fd) : m_fd(fd) {}
    ~UnixStream() override { ::close(m_fd); }
    UnixStream(const UnixStream&) = delete;
    UnixStream& operator=(const UnixStream&) = delete;

    Sent write(std::span<const std::uint8_t> bytes, const Deadline& deadline) override
    {
        const int flags = MSG_NOSIGNAL | (deadline ? MSG_DONTWAIT : 0);
        bool started = false;
        while (!bytes.empty()) {
            // Half a message cannot be taken back: the stream is of no further use then.
            if (waitUntil(m_fd, POLLOUT, deadline) == Ready::TimedOut)
                return started ? Sent::Closed : Sent::TimedOut;
            const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), flags);
            if (sent < 0 &&
                (errno == EINTR || (deadline && (errno == EAGAIN || errno == EWOULDBLOCK))))
                continue;
            if (sent <= 0)
                return Sent::Closed;
            started = true;
            bytes = bytes.subspan(static_cast<std::size_t>(sent));
        }
        return Sent::Done;
    }

    bool read(std::span<std::uint8_t> bytes, const Deadline& deadline) override
    {
        const int flags = deadline ? MSG_DONTWAIT : 0;
        while (!bytes.empty()) {
            if (waitUntil(m_fd, POLLIN, deadline) == Ready::TimedOut)
                return false;
            const ssize_t got = ::recv(m_fd, bytes.data(), bytes.size(), flags);
            if (got < 0 &&
                (errno == EINTR || (deadline && (errno == EAGAIN || errno == EWOULDBLOCK))))
                continue;
            if (got <= 0)
                return false;
            bytes = bytes.subspan(static_cast<std::size_t>(got));
        }
        return true;
    }

    void shutdown() override { ::shutdown(m_fd, SHUT_RDWR); }
    void shutdownRead() override { ::shutdown(m_fd, SHUT_RD); }

    std::int64_t peerProcessId() const override
    {
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
            return 0;
        return peer.pid;
    }

private:
    int m_fd;
};

class UnixListener final : public Listener {
public:
    UnixListener(std::filesystem::path socket, int listenFd, int wakeRead, int wakeWrite)
        : m_socket(std::move(socket)), m_listenFd(listenFd), m_wakeRead(wakeRead),
          m_wakeWrite(wakeWrite)
    {
    }
    ~UnixListener() override
    {
        ::close(m_listenFd);
        ::close(m_wakeRead);
        ::close(m_wakeWrite);
        std::error_code ignored;
        std::filesystem::remove(m_socket, ignored);
    }
    UnixListener(const UnixListener&) = delete;
    UnixListener& operator=(const UnixListener&) = delete;

    std::unique_ptr<Stream> accept() override
    {
        for (;;) {
            pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                platform::debugOutput("device server: poll failed, no more connections");
                return nullptr;
            }
            if (fds[1].revents != 0)
                return nullptr;
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                return std::make_unique<UnixStream>(fd);
        }
    }

    void close() override
    {
        const char wake = 1;
        (void)!::write(m_wakeWrite, &wake, 1);
    }

private:
    std::filesystem::path m_socket;
    int m_listenFd;
    int m_wakeRead;
    int m_wakeWrite;
};

} // namespace

std::unique_ptr<Stream> connectTo(const std::filesystem::path& socket)
{
    sockaddr_un address;
    if (!addressOf(socket, address))
        return nullptr;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<UnixStream>(fd);
}

platform::Result<std::unique_ptr<Listener>> Listener::open(const std::filesystem::path& socket)
{
    sockaddr_un address;
    const std::string name = socket.string();
    if (!addressOf(socket, address))
        return platform::makeError(platform::Error::Code::InvalidInput,
                                   "socket path too long: " + name);
    std::error_code ignored;
    if (std::filesystem::exists(socket, ignored)) {
        if (connectTo(socket))
            return platform::makeError(platform::Error::Code::Unavailable,
                                       "a device server already runs on " + name);
        std::filesystem::remove(socket, ignored); // left behind by a server that died
    }
    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int wake[2];
    if (listenFd < 0 || ::pipe2(wake, O_CLOEXEC) != 0) {
        const std::string reason = std::strerror(errno);
        if (listenFd >= 0)
            ::close(listenFd);
        return platform::makeError(platform::Error::Code::Io, reason);
    }
    if (::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 16) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(listenFd);
        ::close(wake[0]);
        ::close(wake[1]);
        return platform::makeError(platform::Error::Code::Io, name + ": " + reason);
    }
    return std::unique_ptr<Listener>(
        std::make_unique<UnixListener>(socket, listenFd, wake[0], wake[1]));
}

} // namespace hid::sim::wire
