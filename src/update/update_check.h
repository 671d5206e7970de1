#pragma once

#include "update/update_model.h"

#include "platform/http.h"
#include "platform/worker_thread.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace update {

// Said wherever the service would be asked while none is configured.
inline constexpr std::wstring_view kNotConfiguredText = L"no update service is configured";

// Where the service is and what to trust. An empty base URL means no service: nothing is
// sent anywhere.
struct UpdateServiceConfig {
    std::wstring baseUrl;              // ends in "api/"; "updates" is appended
    std::filesystem::path extraCaFile; // beside the system's authorities
    std::string proxy; // "host:port" or a URL; empty: the environment's proxy, if any
    std::filesystem::path lastCheckFolder; // where "updatetime.config" is kept; empty: not kept
};

// The settings store's names for the configuration.
inline constexpr std::wstring_view kBaseUrlSetting = L"UpdateServiceUrl";
inline constexpr std::wstring_view kCaFileSetting = L"UpdateCaFile";
inline constexpr std::wstring_view kProxySetting = L"UpdateProxy";
inline constexpr std::wstring_view kVersionSetting = L"DisplayVersion";

// From the program's settings store, with the user data folder for the last-check file.
UpdateServiceConfig configFromSettings();
// The application's version: the stored "DisplayVersion" text when there is one (any
// other type of value counts as missing: 0), else the built-in version.
std::uint32_t applicationVersion();
// The same version as text: the stored "DisplayVersion" text, else the built-in one.
std::wstring applicationVersionText();

// The outcome of one check.
struct CheckResult {
    UpdateRecord record;
    // No connection, a status other than 2xx, or an answer that is empty, not JSON or not
    // of the expected shape: nothing is known about the versions.
    bool failed = false;
    platform::HttpError error; // why, when failed
};

// Asks the service about one entry. Blocks for one request; the client's abort() ends it.
CheckResult checkUpdate(platform::HttpClient& client, const UpdateServiceConfig& config,
                        const UpdateEntry& entry);

// What the check thread hands to its owner, in order: AddItem for every entry, then
// UpdateItem for every entry as its answer comes, then Finished with the window state.
// NotConfigured alone when there is no service.
struct UpdateNotice {
    enum class Kind { Checking, AddItem, UpdateItem, Finished, NotConfigured };
    Kind kind = Kind::Checking;
    std::size_t index = 0;
    UpdateRecord record;
    WindowState state = WindowState::Checking;
    // For UpdateItem: the failure, when the check failed. For Finished: the names of the
    // entries whose check failed.
    std::wstring detail;
};

// Runs every check on the calling thread, handing each notice to `post` as it is made.
// Stops early (without Finished) when `client` is aborted.
void runChecks(platform::HttpClient& client, const UpdateServiceConfig& config,
               const std::vector<UpdateEntry>& entries,
               const std::function<void(UpdateNotice&&)>& post);

// The check thread of the settings window. It never touches the UI: every notice goes to
// `post`, which hands it on to the UI thread (a posted message that owns the notice).
class UpdateCheckThread {
public:
    UpdateCheckThread() = default;
    ~UpdateCheckThread(); // stops with the default time-out
    UpdateCheckThread(const UpdateCheckThread&) = delete;
    UpdateCheckThread& operator=(const UpdateCheckThread&) = delete;

    // False when a check runs already.
    bool start(UpdateServiceConfig config, std::vector<UpdateEntry> entries,
               std::function<void(UpdateNotice&&)> post);
    // Aborts the request under way from this thread, then waits up to the time-out. True
    // when the thread has ended; a late thread is left to end on its own, owning what it
    // uses.
    bool stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    bool isRunning() const { return m_thread.isRunning(); }

private:
    struct Job;
    std::shared_ptr<Job> m_job;
    platform::WorkerThread m_thread;
};

} // namespace update
