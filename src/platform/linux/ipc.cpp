#include "platform/ipc.h"

#include "platform/debug_output.h"
#include "platform/ipc_datagram.h"
#include "platform/ipc_endpoint_files.h"
#include "platform/ipc_receiver.h"
#include "platform/ipc_transport.h"
#include "platform/worker_thread.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

class Socket {
public:
    explicit Socket(int fd = -1) : m_fd(fd) {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }

private:
    int m_fd;
};

std::string errnoText()
{
    return std::strerror(errno);
}

bool fillAddress(const fs::path& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.native().size());
    return true;
}

} // namespace

const std::string_view kIpcEndpointSuffix = ".sock";

struct IpcEndpoint::Listener {
    Socket socket;
    Socket wake; // an eventfd: written to end the listener's wait
    IpcReceiver receiver;

    Listener(int socketFd, int wakeFd, IpcReceiver::Setup setup)
        : socket(socketFd), wake(wakeFd), receiver(std::move(setup))
    {
    }

    void run(Event& stop);
    // Takes the datagrams queued now; false when the socket failed.
    bool drain(const Event& stop);
};

void IpcEndpoint::Listener::run(Event& stop)
{
    while (!stop.isSet()) {
        pollfd waits[2] = {{socket.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            debugOutput("ipc: listener wait failed: " + errnoText());
            return;
        }
        if (waits[1].revents != 0)
            return;
        if ((waits[0].revents & POLLIN) != 0) {
            if (!drain(stop))
                return;
        } else if (waits[0].revents != 0) {
            debugOutput("ipc: listener socket failed");
            return;
        }
    }
}

bool IpcEndpoint::Listener::drain(const Event& stop)
{
    // A steady stream of messages must not hold off a stop.
    while (!stop.isSet()) {
        const auto buffer = receiver.buffer();
        iovec part{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
        msghdr header{};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        // MSG_TRUNC: the size of the whole datagram, even when it does not fit the buffer.
        const ssize_t size =
            ::recvmsg(socket.get(), &header, MSG_TRUNC | MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (size < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            debugOutput("ipc: receive failed: " + errnoText());
            return false;
        }
        const ucred* credentials = nullptr;
        for (cmsghdr* item = CMSG_FIRSTHDR(&header); item != nullptr;
             item = CMSG_NXTHDR(&header, item)) {
            if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_CREDENTIALS &&
                item->cmsg_len == CMSG_LEN(sizeof(ucred)))
                credentials = reinterpret_cast<const ucred*>(CMSG_DATA(item));
        }
        if ((header.msg_flags & MSG_TRUNC) != 0 ||
            static_cast<std::size_t>(size) > kMaxIpcDatagramSize) {
            debugOutput("ipc: datagram of " + std::to_string(size) +
                        " bytes dropped: larger than any message");
            continue;
        }
        if (credentials == nullptr || credentials->uid != ::getuid()) {
            debugOutput("ipc: datagram from another user dropped");
            continue;
        }
        receiver.receive(static_cast<std::size_t>(size), credentials->pid);
    }
    return true;
}

IpcEndpoint::IpcEndpoint(fs::path folder, std::wstring name)
    : m_folder(std::move(folder)), m_name(std::move(name)),
      m_socketPath(ipcEndpointFile(m_folder, static_cast<std::uint64_t>(::getpid()), m_name,
                                   kIpcEndpointSuffix)),
      m_thread(std::make_unique<WorkerThread>())
{
}

Result<void> IpcEndpoint::startReceiving(Handler handler, std::vector<std::wstring> acceptedNames)
{
    if (m_listener)
        return makeError(Error::Code::Failed, "ipc: already receiving");
    const fs::path& path = m_socketPath;
    sockaddr_un address{};
    if (!fillAddress(path, address))
        return makeError(Error::Code::InvalidInput, "ipc: socket path too long: " + path.string());

    auto listener = std::make_shared<Listener>(
        ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0),
        ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK),
        IpcReceiver::Setup{m_name, std::move(handler), std::move(acceptedNames)});
    if (!listener->socket.isValid() || !listener->wake.isValid())
        return makeError(Error::Code::Io, "ipc: no socket: " + errnoText());
    const int passCredentials = 1;
    if (::setsockopt(listener->socket.get(), SOL_SOCKET, SO_PASSCRED, &passCredentials,
                     sizeof passCredentials) != 0)
        return makeError(Error::Code::Io, "ipc: " + errnoText());
    // A file left by an earlier process with our pid: take its place.
    const auto* socketAddress = reinterpret_cast<const sockaddr*>(&address);
    if (::bind(listener->socket.get(), socketAddress, sizeof address) != 0 &&
        (errno != EADDRINUSE || ::unlink(path.c_str()) != 0 ||
         ::bind(listener->socket.get(), socketAddress, sizeof address) != 0))
        return makeError(Error::Code::Io, "ipc: " + path.string() + ": " + errnoText());
    if (::chmod(path.c_str(), 0600) != 0) {
        const auto why = errnoText();
        ::unlink(path.c_str());
        return makeError(Error::Code::Io, "ipc: " + path.string() + ": " + why);
    }
    m_listener = listener;
    m_thread->start("ipc listener", [listener](Event& stop) { listener->run(stop); });
    return {};
}

bool IpcEndpoint::stopReceiving(std::chrono::milliseconds timeout)
{
    if (!m_listener)
        return true;
    // Gone from the folder first, so no sender picks it up while we stop.
    ::unlink(m_socketPath.c_str());
    const std::uint64_t one = 1;
    if (::write(m_listener->wake.get(), &one, sizeof one) < 0)
        debugOutput("ipc: cannot wake the listener: " + errnoText());
    const bool ended = m_thread->stop(timeout);
    m_listener.reset();
    return ended;
}

std::uint64_t IpcEndpoint::droppedMessages() const
{
    return m_listener ? m_listener->receiver.dropped() : 0;
}

bool sendIpcMessage(const fs::path& path, std::span<const std::uint8_t> bytes)
{
    sockaddr_un address{};
    if (!fillAddress(path, address))
        return false;
    Socket socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.isValid()) {
        debugOutput("ipc: no socket: " + errnoText());
        return false;
    }
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // Refused: the file outlived its process. Nobody else will ever answer there.
        if (errno == ECONNREFUSED) {
            ::unlink(path.c_str());
            debugOutput("ipc: stale socket " + path.filename().string() + " removed");
        } else if (errno != ENOENT) {
            debugOutput("ipc: " + path.filename().string() + ": " + errnoText());
        }
        return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::send(socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) >= 0)
            return true;
        if (errno != EAGAIN && errno != EINTR)
            break;
        // The peer's queue is full: give it a moment, never more.
        pollfd writable{socket.get(), POLLOUT, 0};
        if (errno == EAGAIN &&
            ::poll(&writable, 1, static_cast<int>(kIpcSendTimeout.count())) <= 0) {
            errno = ETIMEDOUT;
            break;
        }
    }
    debugOutput("ipc: " + path.filename().string() + " did not take the message (" + errnoText() +
                "); skipped");
    return false;
}

bool ipcEndpointAnswers(const fs::path& path)
{
    sockaddr_un address{};
    Socket socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    return fillAddress(path, address) && socket.isValid() &&
           ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
               0;
}

} // namespace platform
