#include "platform/single_instance.h"

#include "platform/ipc.h"
#include "platform/text.h"
#include "platform/windows/win_error.h"

#include <functional>
#include <windows.h>

namespace platform {

struct SingleInstance::Lock {
    windows::Handle mutex; // the system drops it when this process ends
};

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

// A named mutex in the session: whoever created it first is the instance. The folder is
// part of the name, so that instances kept apart by their folders (tests) stay apart.
Result<SingleInstance::Claim> SingleInstance::claim(const std::filesystem::path& folder,
                                                    std::wstring_view identifier)
{
    if (m_lock)
        return Claim::First;
    auto lock = std::make_unique<Lock>();
    const std::wstring name = L"Local\\" + std::wstring(identifier) + L"-" +
                              std::to_wstring(std::hash<std::wstring>{}(toLower(folder.wstring())));
    lock->mutex = windows::Handle(CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    if (!lock->mutex.isValid())
        return windows::systemError("single instance mutex", error);
    if (error == ERROR_ALREADY_EXISTS)
        return Claim::AnotherRuns;
    m_lock = std::move(lock);
    return Claim::First;
}

bool SingleInstance::isHeld() const
{
    return m_lock != nullptr;
}

void SingleInstance::release()
{
    m_lock.reset();
}

Result<std::size_t> wakeRunningInstance(const std::filesystem::path& folder,
                                        std::wstring_view identifier)
{
    const IpcEndpoint endpoint(folder, std::wstring(identifier));
    return endpoint.broadcast(identifier, 0, 1);
}

} // namespace platform
