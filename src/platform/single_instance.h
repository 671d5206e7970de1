#pragma once

#include "platform/result.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>

namespace platform {

// Marks the one running instance of the program: an advisory lock on the file
// "<identifier>.lock" in a private folder (instanceRuntimeFolder() for the program). The
// first process holds it for its whole life; the system drops it when that process ends,
// however it ends, so the next start is the first again. Nobody waits on the lock.
class SingleInstance {
public:
    enum class Claim { First, AnotherRuns };

    SingleInstance();
    ~SingleInstance(); // releases
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // First: this object now holds the lock. AnotherRuns: some other holder has it (also
    // another SingleInstance in this process). Fails when the lock file cannot be made.
    [[nodiscard]] Result<Claim> claim(const std::filesystem::path& folder,
                                      std::wstring_view identifier);
    bool isHeld() const;
    void release();

private:
    struct Lock;
    // The system's lock for the folder, into m_lock; false when another holds it.
    [[nodiscard]] Result<bool> takeLock(const std::filesystem::path& folder,
                                        std::wstring_view identifier);
    std::unique_ptr<Lock> m_lock;
};

// What a second start does: posts the instance message (the registered message named by
// the identifier, wParam 0, lParam 1) to every receiving endpoint in the folder, so the
// running instance comes forward. The result is how many took it.
[[nodiscard]] Result<std::size_t> wakeRunningInstance(const std::filesystem::path& folder,
                                                      std::wstring_view identifier);

} // namespace platform
