#include "device/hid/sim/sim_interface.h"

#include "device/hid/hid_changes.h"
#include "device/hid/hid_path.h"
#include "device/hid/input_queue.h"
#include "device/hid/sim/sim_backend.h"
#include "platform/debug_output.h"
#include "platform/event.h"
#include "platform/text.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <mutex>
#include <unistd.h>

namespace hid::sim {

class SimConnection;

struct SimState {
    InterfaceIdentity identity;
    std::vector<std::uint8_t> descriptor;
    std::vector<CollectionInfo> collections;
    std::uint32_t collectionCount = 0; // in the descriptor, skipped ones included
    SimInterface::OutputHandler handler;
    std::uint32_t serial = 0;

    mutable std::mutex lock; // plugged, accessDenied and connections
    bool plugged = false;
    bool accessDenied = false;
    std::vector<SimConnection*> connections;

    // Held around each handler call; unplug takes it to wait for a call on another thread.
    // Recursive, so a handler may unplug its own interface.
    std::recursive_mutex handlerLock;
    platform::Event writesOpen{platform::Event::ResetPolicy::Manual,
                               platform::Event::InitialState::Signaled};

    const CollectionInfo* findCollection(std::uint32_t number) const
    {
        for (const auto& collection : collections) {
            if (collection.number == number)
                return &collection;
        }
        return nullptr;
    }

    // The collection a path names exactly as it is listed, or null.
    const CollectionInfo* collectionNamedBy(const std::wstring& path) const
    {
        const std::uint32_t number = std::max<std::uint32_t>(1, pathNumber(path, L"&col"));
        const CollectionInfo* collection = findCollection(number);
        if (collection == nullptr || !platform::equalsIgnoreCase(pathOf(number), path))
            return nullptr;
        return collection;
    }

    std::wstring pathOf(std::uint32_t number) const
    {
        return simPath(identity, serial, number, collectionCount);
    }
};

class SimConnection final : public Connection {
public:
    SimConnection(std::shared_ptr<SimState> state, const CollectionInfo& collection, OpenMode mode)
        : Connection(collection,
                     {state->identity.vendorId, state->identity.productId, state->identity.version},
                     mode),
          m_state(std::move(state)), m_queue(collection.input.byteLength)
    {
    }

    ~SimConnection() override
    {
        std::lock_guard guard(m_state->lock);
        auto& list = m_state->connections;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }

    InputQueue& queue() { return m_queue; }

    // A simulated device lives in its process: a client of that process's device server
    // names it by the same process and path (socket backend).
    std::wstring ownerIdentity() const override
    {
        return simOwnerIdentity(static_cast<std::int64_t>(::getpid()),
                                m_state->pathOf(collection().number));
    }

    Transfer read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override
    {
        return m_queue.pop(buffer, timeout);
    }

    Transfer write(std::span<const std::uint8_t> report, std::chrono::milliseconds timeout) override
    {
        if (const Transfer ready = m_queue.waitUntilReady(m_state->writesOpen, timeout);
            ready != Transfer::Done)
            return ready;
        std::lock_guard handlerGuard(m_state->handlerLock);
        if (const Transfer ended = m_queue.endState(); ended != Transfer::Done)
            return ended;
        if (m_state->handler)
            m_state->handler(collection().number, report);
        return Transfer::Done;
    }

    void stop() override { m_queue.stop(); }
    void discardInput() override { m_queue.clear(); }
    Transfer endState() const override { return m_queue.endState(); }

private:
    std::shared_ptr<SimState> m_state;
    InputQueue m_queue;
};

namespace {

struct Registry {
    std::mutex lock;
    std::vector<std::weak_ptr<SimState>> plugged;
    std::atomic<std::uint32_t> nextSerial{1};
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

std::vector<std::shared_ptr<SimState>> pluggedStates()
{
    auto& reg = registry();
    std::lock_guard guard(reg.lock);
    std::vector<std::shared_ptr<SimState>> states;
    for (const auto& weak : reg.plugged) {
        if (auto state = weak.lock())
            states.push_back(std::move(state));
    }
    return states;
}

// The sharing rules of the system: an exclusive open refuses writers beside it, and
// cannot be had while another handle writes.
bool sharingAllows(const SimState& state, std::uint32_t collection, OpenMode mode)
{
    for (SimConnection* other : state.connections) {
        if (other->collection().number != collection || other->queue().isStopped())
            continue;
        if (other->mode().exclusive && mode.write)
            return false;
        if (mode.exclusive && other->mode().write)
            return false;
    }
    return true;
}

class SimBackend final : public Backend {
public:
    bool enumerate(std::vector<std::wstring>& paths) override
    {
        for (const auto& state : pluggedStates()) {
            for (const auto& collection : state->collections)
                paths.push_back(state->pathOf(collection.number));
        }
        return true;
    }

    bool isPresent(const std::wstring& path) override
    {
        const std::uint32_t serial = pathNumber(path, L"#sim&");
        for (const auto& state : pluggedStates()) {
            if (state->serial == serial)
                return state->collectionNamedBy(path) != nullptr;
        }
        return false;
    }

    std::unique_ptr<Connection> open(const std::wstring& path, OpenMode mode,
                                     OpenFailure& failure) override
    {
        const std::uint32_t serial = pathNumber(path, L"#sim&");
        if (serial == 0)
            return nullptr;
        for (const auto& state : pluggedStates()) {
            if (state->serial != serial)
                continue;
            const CollectionInfo* collection = state->collectionNamedBy(path);
            if (collection == nullptr)
                break;
            const std::uint32_t number = collection->number;
            std::lock_guard guard(state->lock);
            if (!state->plugged)
                break;
            if (state->accessDenied) {
                failure.kind = OpenFailure::Kind::PermissionDenied;
                failure.node = platform::toUtf8(path);
                failure.reason = "permission denied";
                platform::debugOutput(L"permission denied opening " + path);
                return nullptr;
            }
            if (!sharingAllows(*state, number, mode)) {
                failure.kind = OpenFailure::Kind::Other;
                failure.node = platform::toUtf8(path);
                failure.reason = "sharing violation";
                platform::debugOutput(L"sharing violation opening " + path);
                return nullptr;
            }
            auto connection = std::make_unique<SimConnection>(state, *collection, mode);
            state->connections.push_back(connection.get());
            return connection;
        }
        platform::debugOutput(L"no such simulated interface: " + path);
        return nullptr;
    }
};

} // namespace

std::wstring simOwnerIdentity(std::int64_t serverProcess, const std::wstring& path)
{
    return L"devsim-" + std::to_wstring(serverProcess) + L"-" + path;
}

std::wstring simPath(const InterfaceIdentity& identity, std::uint32_t serial,
                     std::uint32_t collection, std::uint32_t collectionCount,
                     std::wstring_view instancePrefix)
{
    std::optional<std::uint32_t> col;
    if (collectionCount > 1)
        col = collection;
    // The serial is hexadecimal like every number of a path.
    wchar_t instance[32];
    std::swprintf(instance, 32, L"&%x&0", unsigned(serial));
    return makePath(identity.vendorId, identity.productId, identity.interfaceNumber, col,
                    std::wstring(instancePrefix) + instance);
}

std::vector<PluggedInterface> pluggedInterfaces()
{
    std::vector<PluggedInterface> list;
    for (const auto& state : pluggedStates())
        list.push_back({state->serial, state->identity, state->descriptor});
    return list;
}

Backend& simBackend()
{
    static SimBackend instance;
    return instance;
}

InputQueue& inputQueueOf(Connection& connection)
{
    return static_cast<SimConnection&>(connection).queue();
}

SimInterface::SimInterface(InterfaceIdentity identity, std::span<const std::uint8_t> descriptor,
                           OutputHandler handler)
    : m_state(std::make_shared<SimState>())
{
    m_state->identity = identity;
    m_state->descriptor.assign(descriptor.begin(), descriptor.end());
    auto parsed = parseDescriptor(descriptor);
    m_state->collections = std::move(parsed.collections);
    m_state->collectionCount = parsed.collectionCount;
    m_state->handler = std::move(handler);
    m_state->serial = registry().nextSerial.fetch_add(1);
}

SimInterface::~SimInterface()
{
    unplug();
}

void SimInterface::plug()
{
    {
        std::lock_guard guard(m_state->lock);
        if (m_state->plugged)
            return;
        m_state->plugged = true;
    }
    {
        auto& reg = registry();
        std::lock_guard guard(reg.lock);
        reg.plugged.push_back(m_state);
    }
    // What a hidraw node's arrival is to the system's device events.
    notifyChange();
}

void SimInterface::unplug()
{
    {
        std::lock_guard guard(m_state->lock);
        if (!m_state->plugged)
            return;
        m_state->plugged = false;
        for (SimConnection* connection : m_state->connections)
            connection->queue().markGone();
    }
    {
        auto& reg = registry();
        std::lock_guard guard(reg.lock);
        std::erase_if(reg.plugged, [&](const std::weak_ptr<SimState>& weak) {
            auto state = weak.lock();
            return !state || state == m_state;
        });
    }
    notifyChange();
    // A handler still running on another thread finishes before the caller may free what
    // it uses.
    std::lock_guard handlerGuard(m_state->handlerLock);
}

bool SimInterface::isPlugged() const
{
    std::lock_guard guard(m_state->lock);
    return m_state->plugged;
}

bool SimInterface::queueInput(std::span<const std::uint8_t> report)
{
    if (report.empty())
        return false;
    const CollectionInfo* owner = nullptr;
    for (const auto& collection : m_state->collections) {
        if (collection.input.byteLength != 0 && collection.ownsReportId(report[0]))
            owner = &collection;
    }
    if (owner == nullptr)
        return false;
    std::lock_guard guard(m_state->lock);
    if (!m_state->plugged)
        return false;
    for (SimConnection* connection : m_state->connections) {
        if (connection->collection().number == owner->number)
            connection->queue().push(report);
    }
    return true;
}

void SimInterface::denyAccess(bool denied)
{
    std::lock_guard guard(m_state->lock);
    m_state->accessDenied = denied;
}

void SimInterface::holdWrites(bool held)
{
    if (held)
        m_state->writesOpen.reset();
    else
        m_state->writesOpen.set();
}

const InterfaceIdentity& SimInterface::identity() const
{
    return m_state->identity;
}

const std::vector<CollectionInfo>& SimInterface::collections() const
{
    return m_state->collections;
}

std::wstring SimInterface::path(std::uint32_t collection) const
{
    return m_state->findCollection(collection) ? m_state->pathOf(collection) : std::wstring{};
}

} // namespace hid::sim
