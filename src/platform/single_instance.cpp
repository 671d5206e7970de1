#include "platform/single_instance.h"

#include "platform/ipc.h"

// What both systems do alike; the lock itself is each system's.

namespace platform {

Result<SingleInstance::Claim> SingleInstance::claim(const std::filesystem::path& folder,
                                                    std::wstring_view identifier)
{
    if (m_lock)
        return Claim::First;
    auto taken = takeLock(folder, identifier);
    if (!taken)
        return taken.error();
    return *taken ? Claim::First : Claim::AnotherRuns;
}

bool SingleInstance::isHeld() const
{
    return m_lock != nullptr;
}

Result<std::size_t> wakeRunningInstance(const std::filesystem::path& folder,
                                        std::wstring_view identifier)
{
    const IpcEndpoint endpoint(folder, std::wstring(identifier));
    return endpoint.broadcast(identifier, 0, 1);
}

} // namespace platform
