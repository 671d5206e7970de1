// The device server: this process's plugged simulated interfaces, served to the socket
// backend of other processes. Each connection asks one thing: the list, one control line,
// or an open collection, which then carries output reports in and input reports out until
// either side closes it or the device is unplugged.

#include "device/hid/sim/socket_backend.h"

#include "device/hid/hid_changes.h"
#include "device/hid/input_queue.h"
#include "device/hid/sim/sim_backend.h"
#include "device/hid/sim/sim_interface.h"
#include "device/hid/sim/socket_wire.h"
#include "platform/debug_output.h"
#include "platform/text.h"

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

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

void serveOpen(wire::Stream& stream, const wire::Message& request)
{
    if (request.payload.empty()) {
        (void)wire::send(stream, wire::Type::OpenReply, std::array<std::uint8_t, 1>{0});
        return;
    }
    const std::uint8_t flags = request.payload[0];
    const OpenMode mode{(flags & 1) != 0, (flags & 2) != 0, true, (flags & 4) != 0};
    const std::string path(request.payload.begin() + 1, request.payload.end());
    OpenFailure failure;
    auto connection = simBackend().open(platform::fromUtf8(path), mode, failure);
    if (!connection) {
        (void)wire::send(stream, wire::Type::OpenReply, std::array<std::uint8_t, 1>{0});
        return;
    }
    if (!wire::send(stream, wire::Type::OpenReply, std::array<std::uint8_t, 1>{1}))
        return;

    // A client's discard leaves as a marker in its place among the reports: the client then
    // knows which of them came before it.
    InputQueue& queue = inputQueueOf(*connection);
    std::thread pump([&connection, &queue, &stream] {
        std::vector<std::uint8_t> report(
            std::max<std::size_t>(connection->collection().input.byteLength, 1));
        for (;;) {
            std::optional<std::uint32_t> marker;
            const Transfer result = queue.popEntry(report, kPumpWait, marker);
            if (result == Transfer::TimedOut)
                continue;
            if (result != Transfer::Done) {
                if (result == Transfer::Gone)
                    (void)wire::send(stream, wire::Type::Gone, {});
                stream.shutdown();
                return;
            }
            bool sent = false;
            if (marker) {
                std::vector<std::uint8_t> number;
                wire::put32(number, *marker);
                sent = wire::send(stream, wire::Type::Discarded, number);
            } else {
                sent = wire::send(stream, wire::Type::Input, report);
            }
            if (!sent)
                return;
        }
    });
    while (const auto message = wire::receive(stream)) {
        if (message->type == wire::Type::Discard) {
            wire::Reader reader(message->payload);
            std::uint32_t number = 0;
            if (!reader.get32(number))
                break;
            queue.clear();
            queue.pushMarker(number);
            continue;
        }
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
void serveWatch(wire::Stream& stream)
{
    ChangeWatch watch;
    std::atomic<bool> closed{false};
    std::thread reader([&stream, &watch, &closed] {
        std::uint8_t byte = 0;
        while (stream.read(std::span(&byte, 1), std::nullopt)) {
        }
        closed = true;
        watch.event().set();
    });
    for (;;) {
        watch.event().wait();
        if (closed || !wire::send(stream, wire::Type::Changed, {}))
            break;
    }
    stream.shutdown();
    reader.join();
}

} // namespace

struct DeviceServer::Impl {
    struct Client {
        std::unique_ptr<wire::Stream> stream; // reset by its thread, under the lock
        std::thread thread;
        std::atomic<bool> done{false};
    };

    ControlHandler control;
    std::unique_ptr<wire::Listener> listener;
    std::thread acceptor;
    std::mutex lock; // clients
    std::list<Client> clients;

    void serve(Client& client)
    {
        wire::Stream& stream = *client.stream;
        if (const auto request = wire::receive(stream)) {
            switch (request->type) {
            case wire::Type::List:
                (void)wire::send(stream, wire::Type::ListReply, listPayload());
                break;
            case wire::Type::Control: {
                const std::string line(request->payload.begin(), request->payload.end());
                const std::string answer = control ? control(line) : std::string("no control\n");
                const std::span bytes(reinterpret_cast<const std::uint8_t*>(answer.data()),
                                      answer.size());
                (void)wire::send(stream, wire::Type::ControlReply, bytes);
                break;
            }
            case wire::Type::Open:
                serveOpen(stream, *request);
                break;
            case wire::Type::Watch:
                serveWatch(stream);
                break;
            default:
                break;
            }
        }
        // The peer sees the end now, not when the thread is reaped.
        std::lock_guard guard(lock);
        client.stream.reset();
        client.done = true;
    }

    void reapFinished()
    {
        std::lock_guard guard(lock);
        for (auto it = clients.begin(); it != clients.end();) {
            if (it->done) {
                it->thread.join();
                it = clients.erase(it);
            } else {
                ++it;
            }
        }
    }

    void acceptLoop()
    {
        while (auto stream = listener->accept()) {
            reapFinished();
            std::lock_guard guard(lock);
            Client& client = clients.emplace_back();
            client.stream = std::move(stream);
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
    auto listener = wire::Listener::open(socket);
    if (!listener)
        return listener.error();
    auto impl = std::make_unique<Impl>();
    impl->control = std::move(control);
    impl->listener = std::move(*listener);
    Impl* raw = impl.get();
    impl->acceptor = std::thread([raw] { raw->acceptLoop(); });
    m_impl = std::move(impl);
    return {};
}

void DeviceServer::stop()
{
    if (!m_impl)
        return;
    m_impl->listener->close();
    m_impl->acceptor.join();
    {
        std::lock_guard guard(m_impl->lock);
        // Reading side only: a reply already being written (to "quit", say) still goes out.
        for (auto& client : m_impl->clients) {
            if (client.stream)
                client.stream->shutdownRead();
        }
    }
    // Open collections stop when their stream ends, so every thread ends now.
    for (auto& client : m_impl->clients)
        client.thread.join();
    m_impl->clients.clear();
    m_impl->listener.reset();
    m_impl.reset();
}

} // namespace hid::sim
