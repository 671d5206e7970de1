#include "platform/registered_messages.h"

#include "platform/text.h"

#include <map>
#include <mutex>
#include <vector>

namespace platform {
namespace {

struct Registry {
    std::mutex lock;
    std::map<std::wstring, MessageId> byName; // key: lower-case name
    std::vector<std::wstring> names;          // index: id - kFirstRegisteredMessage
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

constexpr MessageId kLastRegisteredMessage = 0xFFFF;

} // namespace

MessageId registerMessage(std::wstring_view name)
{
    if (name.empty())
        return 0;
    auto& r = registry();
    std::lock_guard guard(r.lock);
    auto key = toLower(name);
    if (const auto found = r.byName.find(key); found != r.byName.end())
        return found->second;
    const MessageId id = kFirstRegisteredMessage + static_cast<MessageId>(r.names.size());
    if (id > kLastRegisteredMessage)
        return 0;
    r.byName.emplace(std::move(key), id);
    r.names.emplace_back(name);
    return id;
}

std::optional<std::wstring> registeredMessageName(MessageId id)
{
    auto& r = registry();
    std::lock_guard guard(r.lock);
    if (id < kFirstRegisteredMessage || id - kFirstRegisteredMessage >= r.names.size())
        return std::nullopt;
    return r.names[id - kFirstRegisteredMessage];
}

} // namespace platform
