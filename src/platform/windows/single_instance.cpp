#include "platform/single_instance.h"

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
Result<bool> SingleInstance::takeLock(const std::filesystem::path& folder,
                                      std::wstring_view identifier)
{
    auto lock = std::make_unique<Lock>();
    const std::wstring name = L"Local\\" + std::wstring(identifier) + L"-" +
                              std::to_wstring(std::hash<std::wstring>{}(toLower(folder.wstring())));
    lock->mutex = windows::Handle(CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    if (!lock->mutex.isValid())
        return windows::systemError("single instance mutex", error);
    if (error == ERROR_ALREADY_EXISTS)
        return false;
    m_lock = std::move(lock);
    return true;
}

void SingleInstance::release()
{
    m_lock.reset();
}

} // namespace platform
