#include "device/hid/open_connections.h"

#include "device/hid/hid_backend.h"
#include "platform/text.h"

#include <mutex>
#include <vector>

namespace hid {
namespace {

struct Entry {
    std::wstring path;
    std::weak_ptr<Connection> connection;
};

struct Registry {
    std::mutex lock;
    std::vector<Entry> entries;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void registerConnection(const std::wstring& path, const std::weak_ptr<Connection>& connection)
{
    auto& reg = registry();
    std::lock_guard guard(reg.lock);
    std::erase_if(reg.entries, [](const Entry& entry) { return entry.connection.expired(); });
    reg.entries.push_back({platform::toLower(path), connection});
}

bool takeLostConnection(const std::wstring& path)
{
    const std::wstring key = platform::toLower(path);
    auto& reg = registry();
    std::lock_guard guard(reg.lock);
    bool lost = false;
    std::erase_if(reg.entries, [&](const Entry& entry) {
        const auto connection = entry.connection.lock();
        if (!connection)
            return true;
        if (entry.path != key || connection->endState() != Transfer::Gone)
            return false;
        lost = true;
        return true;
    });
    return lost;
}

} // namespace hid
