// The socket backend: the interfaces a halvek-devsim process has plugged, listed and opened
// through its socket.

#include "device/hid/sim/socket_backend.h"

#include "device/hid/hid_changes.h"
#include "device/hid/hid_path.h"
#include "device/hid/input_queue.h"
#include "device/hid/sim/sim_interface.h"
#include "device/hid/sim/socket_wire.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/text.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace hid::sim {
namespace {

constexpr const wchar_t* kInstancePrefix = L"sock";

struct RemoteInterface {
    std::uint32_t serial = 0;
    InterfaceIdentity identity;
    std::vector<CollectionInfo> collections;
    std::uint32_t collectionCount = 0;

    std::wstring localPath(std::uint32_t collection) const
    {
        return simPath(identity, serial, collection, collectionCount, kInstancePrefix);
    }
    std::wstring remotePath(std::uint32_t collection) const
    {
        return simPath(identity, serial, collection, collectionCount);
    }
};

struct ServerChoice {
    std::mutex lock;
    bool chosen = false;
    std::filesystem::path socket;
};

ServerChoice& serverChoice()
{
    static ServerChoice instance;
    return instance;
}

std::filesystem::path currentServer()
{
    auto& choice = serverChoice();
    std::lock_guard guard(choice.lock);
    if (!choice.chosen) {
        choice.chosen = true;
        if (const char* variable = std::getenv("HALVEK_SIM_SOCKET"); variable && *variable)
            choice.socket = variable;
    }
    return choice.socket;
}

// Nullopt when the server cannot be reached or answers garbage.
std::optional<std::vector<RemoteInterface>> listRemote(const std::filesystem::path& server)
{
    const auto stream = wire::connectTo(server);
    if (!stream ||
        wire::send(*stream, wire::Type::List, {}, wire::kServerTimeout) != wire::Sent::Done)
        return std::nullopt;
    const auto reply = wire::receive(*stream, wire::kServerTimeout);
    if (!reply)
        platform::debugOutput("device server " + server.string() + " did not answer a listing");
    if (!reply || reply->type != wire::Type::ListReply)
        return std::nullopt;
    wire::Reader reader(reply->payload);
    std::uint16_t count = 0;
    if (!reader.get16(count))
        return std::nullopt;
    std::vector<RemoteInterface> list;
    for (std::uint16_t i = 0; i < count; ++i) {
        RemoteInterface remote;
        std::uint8_t hasInterface = 0;
        std::uint32_t interfaceNumber = 0;
        std::uint32_t descriptorLength = 0;
        std::vector<std::uint8_t> descriptor;
        if (!reader.get32(remote.serial) || !reader.get16(remote.identity.vendorId) ||
            !reader.get16(remote.identity.productId) || !reader.get16(remote.identity.version) ||
            !reader.get8(hasInterface) || !reader.get32(interfaceNumber) ||
            !reader.get32(descriptorLength) || descriptorLength > kMaxDescriptorBytes ||
            !reader.getBytes(descriptorLength, descriptor))
            return std::nullopt;
        if (hasInterface)
            remote.identity.interfaceNumber = interfaceNumber;
        auto parsed = parseDescriptor(descriptor);
        remote.collections = std::move(parsed.collections);
        remote.collectionCount = parsed.collectionCount;
        list.push_back(std::move(remote));
    }
    return list;
}

// The interface and collection a local path names exactly, from a fresh listing.
struct Found {
    RemoteInterface remote;
    const CollectionInfo* collection = nullptr;
};
std::optional<Found> findRemote(const std::filesystem::path& server, const std::wstring& path)
{
    const std::uint32_t serial = pathNumber(path, L"#sock&");
    if (serial == 0 || server.empty())
        return std::nullopt;
    auto list = listRemote(server);
    if (!list)
        return std::nullopt;
    for (auto& remote : *list) {
        if (remote.serial != serial)
            continue;
        Found found{std::move(remote), nullptr};
        for (const auto& collection : found.remote.collections) {
            if (platform::equalsIgnoreCase(found.remote.localPath(collection.number), path))
                found.collection = &collection;
        }
        if (found.collection == nullptr)
            return std::nullopt;
        return found;
    }
    return std::nullopt;
}

class SocketConnection final : public Connection {
public:
    SocketConnection(std::unique_ptr<wire::Stream> stream, const CollectionInfo& collection,
                     Attributes attributes, OpenMode mode, std::wstring ownerIdentity)
        : Connection(collection, attributes, mode), m_ownerIdentity(std::move(ownerIdentity)),
          m_stream(std::move(stream)), m_queue(collection.input.byteLength),
          m_reader([this] { receive(); })
    {
    }

    std::wstring ownerIdentity() const override { return m_ownerIdentity; }

    ~SocketConnection() override
    {
        m_stream->shutdown();
        m_reader.join();
    }

    Transfer read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override
    {
        const Transfer result = m_queue.pop(buffer, timeout);
        if (result == Transfer::TimedOut) {
            if (const auto number = unechoedDiscard())
                platform::debugOutput("device server has not echoed discard " +
                                      std::to_string(*number));
        }
        return result;
    }

    Transfer write(std::span<const std::uint8_t> report, std::chrono::milliseconds timeout) override
    {
        if (const Transfer ended = m_queue.endState(); ended != Transfer::Done)
            return ended;
        std::lock_guard guard(m_writeLock);
        switch (wire::send(*m_stream, wire::Type::Write, report, timeout)) {
        case wire::Sent::Done:
            return Transfer::Done;
        case wire::Sent::TimedOut:
            return Transfer::TimedOut;
        case wire::Sent::Closed:
            break;
        }
        return Transfer::Gone;
    }

    void stop() override { m_queue.stop(); }

    // Reports the server holds for this connection, and those on the socket or in the
    // reader's hands, are as stale as the queued ones: the server echoes the discard after
    // all of them, and until the echo nothing that arrives is kept. The echo needs no wait
    // here; a read meanwhile waits for it within its own time-out.
    void discardInput() override
    {
        std::lock_guard guard(m_writeLock);
        std::uint32_t number = 0;
        {
            std::lock_guard queueGuard(m_discardLock);
            number = ++m_discardsAsked;
            m_queue.clear();
        }
        std::vector<std::uint8_t> payload;
        wire::put32(payload, number);
        // Unsent, it is never echoed and reads find nothing until the next discard's echo.
        if (wire::send(*m_stream, wire::Type::Discard, payload, wire::kServerTimeout) !=
            wire::Sent::Done)
            platform::debugOutput("device server did not take discard " + std::to_string(number));
    }

    Transfer endState() const override { return m_queue.endState(); }

private:
    std::optional<std::uint32_t> unechoedDiscard()
    {
        std::lock_guard guard(m_discardLock);
        if (m_discardsEchoed == m_discardsAsked)
            return std::nullopt;
        return m_discardsAsked;
    }

    void receive()
    {
        while (const auto message = wire::receive(*m_stream)) {
            if (message->type == wire::Type::Input) {
                std::lock_guard guard(m_discardLock);
                if (m_discardsEchoed == m_discardsAsked)
                    m_queue.push(message->payload);
            } else if (message->type == wire::Type::Discarded) {
                wire::Reader reader(message->payload);
                std::uint32_t number = 0;
                if (!reader.get32(number))
                    break;
                std::lock_guard guard(m_discardLock);
                m_discardsEchoed = number;
            } else if (message->type == wire::Type::Gone) {
                break;
            }
        }
        // The server closed the connection or the device left it: a removed device.
        m_queue.markGone();
    }

    std::wstring m_ownerIdentity;
    std::unique_ptr<wire::Stream> m_stream;
    InputQueue m_queue;
    std::mutex m_writeLock;   // one message out at a time
    std::mutex m_discardLock; // the discard numbers, and a push against a discard
    std::uint32_t m_discardsAsked = 0;
    std::uint32_t m_discardsEchoed = 0;
    std::thread m_reader; // last: it uses everything above
};

// The server's plug and unplug, as change notices here: one connection that the server
// writes to each time. Made again by the next listing when the server was not there.
class ServerWatch {
public:
    ~ServerWatch() { setWanted(false); }

    void setWanted(bool wanted)
    {
        std::lock_guard guard(m_lock);
        m_wanted = wanted;
        if (!wanted)
            endLocked();
    }

    void ensure(const std::filesystem::path& server)
    {
        std::lock_guard guard(m_lock);
        if (!m_wanted || (m_thread.joinable() && !m_finished))
            return;
        endLocked();
        auto stream = wire::connectTo(server);
        if (!stream || !wire::send(*stream, wire::Type::Watch, {}))
            return;
        m_stream = std::move(stream);
        m_finished = false;
        m_thread = std::thread([this, stream = m_stream.get()] {
            while (const auto message = wire::receive(*stream)) {
                if (message->type == wire::Type::Changed)
                    notifyChange();
            }
            // The server went, and its devices with it.
            m_finished = true;
            notifyChange();
        });
    }

private:
    void endLocked()
    {
        if (m_stream)
            m_stream->shutdown();
        if (m_thread.joinable())
            m_thread.join();
        m_stream.reset();
    }

    std::mutex m_lock;
    bool m_wanted = false;
    std::unique_ptr<wire::Stream> m_stream;
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

class SocketBackend final : public Backend {
public:
    void watchChanges(bool on) override
    {
        m_watch.setWanted(on);
        if (on) {
            if (const auto server = currentServer(); !server.empty())
                m_watch.ensure(server);
        }
    }

    bool enumerate(std::vector<std::wstring>& paths) override
    {
        const auto server = currentServer();
        if (server.empty())
            return true;
        m_watch.ensure(server);
        const auto list = listRemote(server);
        if (!list) {
            // No server (yet) is like no device plugged: watchers keep polling.
            return true;
        }
        for (const auto& remote : *list) {
            for (const auto& collection : remote.collections)
                paths.push_back(remote.localPath(collection.number));
        }
        return true;
    }

    bool isPresent(const std::wstring& path) override
    {
        return findRemote(currentServer(), path).has_value();
    }

    std::unique_ptr<Connection> open(const std::wstring& path, OpenMode mode,
                                     OpenFailure& failure) override
    {
        const auto server = currentServer();
        const auto found = findRemote(server, path);
        if (!found)
            return nullptr;
        failure.kind = OpenFailure::Kind::Other;
        failure.node = server.string();
        auto stream = wire::connectTo(server);
        std::vector<std::uint8_t> request{static_cast<std::uint8_t>(
            (mode.read ? 1 : 0) | (mode.write ? 2 : 0) | (mode.exclusive ? 4 : 0))};
        const std::string remotePath =
            platform::toUtf8(found->remote.remotePath(found->collection->number));
        request.insert(request.end(), remotePath.begin(), remotePath.end());
        if (!stream || wire::send(*stream, wire::Type::Open, request, wire::kServerTimeout) !=
                           wire::Sent::Done) {
            failure.reason = "the device server is not reachable";
            platform::debugOutput(L"device server not reachable opening " + path);
            return nullptr;
        }
        const auto reply = wire::receive(*stream, wire::kServerTimeout);
        if (!reply || reply->type != wire::Type::OpenReply || reply->payload.size() != 1 ||
            reply->payload[0] != 1) {
            failure.reason = "the device server refused the open";
            platform::debugOutput(L"device server refused to open " + path);
            return nullptr;
        }
        const auto& identity = found->remote.identity;
        // The device is the server's in-process one: name it as the server's own channels
        // would, so the server's program and its clients hold the same lock.
        std::wstring owner;
        if (const auto peer = stream->peerProcessId(); peer > 0)
            owner = simOwnerIdentity(peer, found->remote.remotePath(found->collection->number));
        return std::make_unique<SocketConnection>(
            std::move(stream), *found->collection,
            Attributes{identity.vendorId, identity.productId, identity.version}, mode,
            std::move(owner));
    }

private:
    ServerWatch m_watch;
};

} // namespace

platform::Result<std::filesystem::path> deviceServerSocket()
{
    if (const char* variable = std::getenv("HALVEK_SIM_SOCKET"); variable && *variable)
        return std::filesystem::path(variable);
    auto folder = platform::instanceRuntimeFolder();
    if (!folder)
        return folder.error();
    return *folder / "devsim.sock";
}

void useDeviceServer(const std::filesystem::path& socket)
{
    auto& choice = serverChoice();
    std::lock_guard guard(choice.lock);
    choice.chosen = true;
    choice.socket = socket;
}

Backend& socketBackend()
{
    static SocketBackend instance;
    return instance;
}

namespace {

platform::Error notListening(const std::filesystem::path& socket)
{
    return platform::makeError(platform::Error::Code::Unavailable,
                               "no halvek-devsim is listening on " + socket.string());
}

} // namespace

platform::Result<void> reachDeviceServer(const std::filesystem::path& socket)
{
    if (!wire::connectTo(socket))
        return notListening(socket);
    return {};
}

platform::Result<std::string> sendControl(const std::filesystem::path& server,
                                          const std::string& line)
{
    const auto stream = wire::connectTo(server);
    if (!stream)
        return notListening(server);
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    if (wire::send(*stream, wire::Type::Control, bytes, wire::kServerTimeout) != wire::Sent::Done)
        return platform::makeError(platform::Error::Code::Io, "the control line was not sent");
    const auto reply = wire::receive(*stream, wire::kServerTimeout);
    if (!reply || reply->type != wire::Type::ControlReply)
        return platform::makeError(platform::Error::Code::Timeout,
                                   "halvek-devsim did not answer within " +
                                       std::to_string(wire::kServerTimeout.count()) + " ms");
    return std::string(reply->payload.begin(), reply->payload.end());
}

} // namespace hid::sim
