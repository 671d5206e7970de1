#include "update/update_check.h"

#include "update/update_time.h"

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "platform/text.h"

#include <cstring>

namespace update {
namespace {

constexpr std::size_t kAnswerCapacity = 102400;

} // namespace

UpdateServiceConfig configFromSettings()
{
    platform::SettingsStore store(platform::SettingsStore::defaultFile());
    UpdateServiceConfig config;
    config.baseUrl = store.text(kBaseUrlSetting).value_or(L"");
    if (const auto ca = store.text(kCaFileSetting))
        config.extraCaFile = platform::toPath(*ca);
    config.proxy = platform::toUtf8(store.text(kProxySetting).value_or(L""));
    config.lastCheckFolder =
        platform::userDataFolder() / platform::toPath(platform::kInstanceIdentifier);
    return config;
}

std::wstring applicationVersionText()
{
    platform::SettingsStore store(platform::SettingsStore::defaultFile());
    return store.text(kVersionSetting).value_or(std::wstring(kApplicationVersionText));
}

std::uint32_t applicationVersion()
{
    platform::SettingsStore store(platform::SettingsStore::defaultFile());
    if (const auto text = store.text(kVersionSetting))
        return applicationVersionFromText(*text);
    if (store.integer(kVersionSetting))
        return 0;
    return applicationVersionFromText(kApplicationVersionText);
}

CheckResult checkUpdate(platform::HttpClient& client, const UpdateServiceConfig& config,
                        const UpdateEntry& entry)
{
    CheckResult result;
    std::wstring url = config.baseUrl;
    if (!url.empty() && url.back() != L'/')
        url += L'/';
    url += L"updates";
    const auto body = buildRequestBody(buildAppKey(entry), entry);

    client.resetSettings();
    client.settings().extraCaFile = config.extraCaFile;
    client.settings().namedProxy = config.proxy;
    // Zero-filled, and one byte is never handed out, so the answer always ends in a zero.
    std::vector<std::uint8_t> answer(kAnswerCapacity, 0);
    const std::int64_t count = client.request(
        L"POST", url, body, std::span<std::uint8_t>(answer).first(answer.size() - 1),
        config.proxy.empty() ? platform::ProxyUse::Environment : platform::ProxyUse::Named);
    const std::size_t received = count > 0 ? static_cast<std::size_t>(count) : 0;
    if (received == 0) {
        const char* start = reinterpret_cast<const char*>(answer.data());
        const std::wstring marker = platform::fromUtf8(std::string_view(start, std::strlen(start)));
        result.failed = true;
        if (platform::equalsIgnoreCase(marker, platform::fromUtf8(platform::kNoLinkServerMarker)))
            result.error = client.lastError();
        else
            result.error = {platform::HttpErrorCode::None,
                            "no valid answer from the service: it is empty"};
        return result;
    }
    const std::string_view text(reinterpret_cast<const char*>(answer.data()), received);
    std::string problem;
    if (auto parsed = parseAnswer(text, entry, &problem)) {
        result.record = std::move(*parsed);
    } else {
        // Nothing is known about the versions: never shown as "up to date".
        result.failed = true;
        result.error = {platform::HttpErrorCode::None,
                        "no valid answer from the service: " + problem};
        platform::debugOutput("update: the answer for " + platform::toUtf8(buildAppKey(entry)) +
                              " is not valid: " + problem);
    }
    return result;
}

void runChecks(platform::HttpClient& client, const UpdateServiceConfig& config,
               const std::vector<UpdateEntry>& entries,
               const std::function<void(UpdateNotice&&)>& post)
{
    if (config.baseUrl.empty()) {
        UpdateNotice notice;
        notice.kind = UpdateNotice::Kind::NotConfigured;
        notice.state = WindowState::NoAnswer;
        notice.detail = kNotConfiguredText;
        post(std::move(notice));
        return;
    }
    post({UpdateNotice::Kind::Checking, 0, {}, WindowState::Checking, {}});
    std::vector<UpdateRecord> records;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        records.push_back(placeholderRecord(entries[i]));
        post({UpdateNotice::Kind::AddItem, i, records.back(), WindowState::Checking, {}});
    }
    std::vector<std::wstring> localFiles;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (client.isAborted())
            return;
        CheckResult result = checkUpdate(client, config, entries[i]);
        if (client.isAborted())
            return;
        UpdateRecord& record = result.record;
        if (!record.localFile.empty()) {
            // Two answers may give one name: each row keeps its own file and partial file.
            record.localFile =
                distinctLocalFile(record.localFile, entries[i].displayType, localFiles);
            localFiles.push_back(record.localFile);
        }
        if (record.name.empty()) {
            const UpdateRecord placeholder = placeholderRecord(entries[i]);
            record.name = placeholder.name;
            record.currentVersionText = placeholder.currentVersionText;
            record.status = kStatusUpToDate;
            record.latestVersionText.clear();
        }
        record.name = entries[i].displayType;
        record.checkFailed = result.failed;
        records[i] = record;
        UpdateNotice notice{UpdateNotice::Kind::UpdateItem, i, record, WindowState::Checking, {}};
        if (!result.error.message.empty())
            notice.detail = platform::fromUtf8(result.error.message);
        post(std::move(notice));
        // The date of the last check is kept whatever the check's outcome.
        if (!config.lastCheckFolder.empty())
            writeLastCheckDate(config.lastCheckFolder, todayCheckDate());
    }
    UpdateNotice finished{UpdateNotice::Kind::Finished, 0, {}, finalWindowState(records), {}};
    finished.detail = uncheckedNames(records);
    post(std::move(finished));
}

struct UpdateCheckThread::Job {
    platform::HttpClient client;
    UpdateServiceConfig config;
    std::vector<UpdateEntry> entries;
    std::function<void(UpdateNotice&&)> post;
};

UpdateCheckThread::~UpdateCheckThread()
{
    stop();
}

bool UpdateCheckThread::start(UpdateServiceConfig config, std::vector<UpdateEntry> entries,
                              std::function<void(UpdateNotice&&)> post)
{
    if (m_thread.isRunning())
        return false;
    auto job = std::make_shared<Job>();
    job->config = std::move(config);
    job->entries = std::move(entries);
    job->post = std::move(post);
    m_job = job;
    // The body owns the job: a thread that outlives stop() still has all it uses.
    return m_thread.start("update check", [job](platform::Event&) {
        runChecks(job->client, job->config, job->entries, job->post);
    });
}

bool UpdateCheckThread::stop(std::chrono::milliseconds timeout)
{
    if (!m_job)
        return true;
    m_job->client.abort();
    const bool ended = m_thread.stop(timeout);
    if (!ended)
        platform::debugOutput("update: the check thread has not ended; left to end alone");
    m_job.reset();
    return ended;
}

} // namespace update
