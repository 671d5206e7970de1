// The device server: this process's plugged simulated interfaces, served to the socket
// backend of other processes. Each connection asks one thing: the list, one control line,
// or an open collection, which then carries output reports in and input reports out until
// either side closes it or the device is unplugged.

#include "device/hid/sim/socket_backend.h"

#include "device/hid/hid_changes.h"

#include "device/hid/sim/sim_backend.h"
#include "device/hid/sim/sim_interface.h"
#include "device/hid/sim/socket_wire.h"
#include "platform/debug_output.h"
#include "platform/text.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace hid::sim {
namespace {

constexpr std::chrono::milliseconds kWriteTimeout{5000};
// A pump waits this long per read; the connection's stop or the unplug ends it at once.
constexpr std::chrono::hours kPumpWait{1};

std::vector<std::uint8_t> listPayload()
{
    const auto plugged = pluggedInterfaces();
    std::vector<std::uint8_t> out;
    wire::put16(out, static_cast<std::uint16_t>(plugged.size()));
    for (const auto& entry : plugged) {
        wire::put32(out, entry.serial);
        wire::put16(out, entry.identity.vendorId);
        wire::put16(out, entry.identity.productId);
        wire::put16(out, entry.identity.version);
        out.push_back(entry.identity.interfaceNumber ? 1 : 0);
        wire::put32(out, entry.identity.interfaceNumber.value_or(0));
        wire::put32(out, static_cast<std::uint32_t>(entry.descriptor.size()));
        out.insert(out.end(), entry.descriptor.begin(), entry.descriptor.end());
    }
    return out;
}

void serveOpen(int fd, const wire::Message& request)
{
    if (request.payload.empty()) {
        (void)wire::send(fd, wire::Type::OpenReply, std::array<std::uint8_t, 1>{0});
        return;
    }
    const std::uint8_t flags = request.payload[0];
    const OpenMode mode{(flags & 1) != 0, (flags & 2) != 0, true, (flags & 4) != 0};
    const std::string path(request.payload.begin() + 1, request.payload.end());
    OpenFailure failure;
    auto connection = simBackend().open(platform::fromUtf8(path), mode, failure);
    if (!connection) {
        (void)wire::send(fd, wire::Type::OpenReply, std::array<std::uint8_t, 1>{0});
        return;
    }
    if (!wire::send(fd, wire::Type::OpenReply, std::array<std::uint8_t, 1>{1}))
        return;

    std::thread pump([&connection, fd] {
        std::vector<std::uint8_t> report(
            std::max<std::size_t>(connection->collection().input.byteLength, 1));
        for (;;) {
            const Transfer result = connection->read(report, kPumpWait);
            if (result == Transfer::TimedOut)
                continue;
            if (result != Transfer::Done) {
                if (result == Transfer::Gone)
                    (void)wire::send(fd, wire::Type::Gone, {});
                ::shutdown(fd, SHUT_RDWR);
                return;
            }
            if (!wire::send(fd, wire::Type::Input, report)) {
                return;
            }
        }
    });
    while (const auto message = wire::receive(fd)) {
        if (message->type != wire::Type::Write)
            break;
        if (message->payload.size() != connection->collection().output.byteLength)
            continue; // not a report of this collection; a device would not take it either
        (void)connection->write(message->payload, kWriteTimeout);
    }
    connection->stop();
    pump.join();
}

// Tells the client each time an interface is plugged or unplugged here, until either side
// closes the connection.
void serveWatch(int fd)
{
    ChangeWatch watch;
    std::atomic<bool> closed{false};
    std::thread reader([fd, &watch, &closed] {
        char byte = 0;
        while (::recv(fd, &byte, 1, 0) > 0) {
        }
        closed = true;
        watch.event().set();
    });
    for (;;) {
        watch.event().wait();
        if (closed || !wire::send(fd, wire::Type::Changed, {}))
            break;
    }
    ::shutdown(fd, SHUT_RDWR);
    reader.join();
}

} // namespace

struct DeviceServer::Impl {
    struct Client {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    std::filesystem::path socketPath;
    ControlHandler control;
    int listenFd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread acceptor;
    std::mutex lock; // clients
    std::list<Client> clients;

    void serve(Client& client)
    {
        if (const auto request = wire::receive(client.fd)) {
            switch (request->type) {
            case wire::Type::List:
                (void)wire::send(client.fd, wire::Type::ListReply, listPayload());
                break;
            case wire::Type::Control: {
                const std::string line(request->payload.begin(), request->payload.end());
                const std::string answer = control ? control(line) : std::string("no control\n");
                const std::span bytes(reinterpret_cast<const std::uint8_t*>(answer.data()),
                                      answer.size());
                (void)wire::send(client.fd, wire::Type::ControlReply, bytes);
                break;
            }
            case wire::Type::Open:
                serveOpen(client.fd, *request);
                break;
            case wire::Type::Watch:
                serveWatch(client.fd);
                break;
            default:
                break;
            }
        }
        // The peer sees the end now; the descriptor is closed when the thread is reaped.
        ::shutdown(client.fd, SHUT_RDWR);
        client.done = true;
    }

    void reapFinished()
    {
        std::lock_guard guard(lock);
        for (auto it = clients.begin(); it != clients.end();) {
            if (it->done) {
                it->thread.join();
                ::close(it->fd);
                it = clients.erase(it);
            } else {
                ++it;
            }
        }
    }

    void acceptLoop()
    {
        for (;;) {
            pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeRead, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                platform::debugOutput("device server: poll failed, no more connections");
                return;
            }
            if (fds[1].revents != 0)
                return;
            reapFinished();
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::lock_guard guard(lock);
            Client& client = clients.emplace_back();
            client.fd = fd;
            client.thread = std::thread([this, &client] { serve(client); });
        }
    }
};

DeviceServer::DeviceServer() = default;

DeviceServer::~DeviceServer()
{
    stop();
}

platform::Result<void> DeviceServer::start(const std::filesystem::path& socket,
                                           ControlHandler control)
{
    stop();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = socket.string();
    if (name.empty() || name.size() >= sizeof address.sun_path)
        return platform::makeError(platform::Error::Code::InvalidInput,
                                   "socket path too long: " + name);
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);

    std::error_code ignored;
    if (std::filesystem::exists(socket, ignored)) {
        const int probe = wire::connectTo(socket);
        if (probe >= 0) {
            ::close(probe);
            return platform::makeError(platform::Error::Code::Unavailable,
                                       "a device server already runs on " + name);
        }
        std::filesystem::remove(socket, ignored); // left behind by a server that died
    }

    auto impl = std::make_unique<Impl>();
    impl->socketPath = socket;
    impl->control = std::move(control);
    impl->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int pipeFds[2];
    if (impl->listenFd < 0 || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        if (impl->listenFd >= 0)
            ::close(impl->listenFd);
        return platform::makeError(platform::Error::Code::Io, std::strerror(errno));
    }
    impl->wakeRead = pipeFds[0];
    impl->wakeWrite = pipeFds[1];
    if (::bind(impl->listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(impl->listenFd, 16) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(impl->listenFd);
        ::close(impl->wakeRead);
        ::close(impl->wakeWrite);
        return platform::makeError(platform::Error::Code::Io, name + ": " + reason);
    }
    Impl* raw = impl.get();
    impl->acceptor = std::thread([raw] { raw->acceptLoop(); });
    m_impl = std::move(impl);
    return {};
}

void DeviceServer::stop()
{
    if (!m_impl)
        return;
    const char wake = 1;
    (void)!::write(m_impl->wakeWrite, &wake, 1);
    m_impl->acceptor.join();
    {
        std::lock_guard guard(m_impl->lock);
        // Reading side only: a reply already being written (to "quit", say) still goes out.
        for (auto& client : m_impl->clients)
            ::shutdown(client.fd, SHUT_RD);
    }
    // Open collections stop when their socket closes, so every thread ends now.
    for (auto& client : m_impl->clients) {
        client.thread.join();
        ::close(client.fd);
    }
    ::close(m_impl->listenFd);
    ::close(m_impl->wakeRead);
    ::close(m_impl->wakeWrite);
    std::error_code ignored;
    std::filesystem::remove(m_impl->socketPath, ignored);
    m_impl.reset();
}

} // namespace hid::sim
