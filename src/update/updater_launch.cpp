#include "update/updater_launch.h"

#include "update/updater.h"

#include "platform/debug_output.h"
#include "platform/text.h"

namespace update {
namespace {

// What a report needs to travel from the updater through the program to the window.
constexpr std::chrono::milliseconds kReportGrace{1500};

bool waitsForDownload(const UpdateList& list, std::size_t index)
{
    const auto state = list.items()[index].state;
    return state == ItemState::Waiting || state == ItemState::Downloading;
}

} // namespace

std::vector<std::string> updaterArguments(const UpdateRecord& record,
                                          const std::filesystem::path& extraCaFile)
{
    std::vector<std::string> arguments{"--url", platform::toUtf8(record.downloadPath), "--name",
                                       platform::toUtf8(record.localFile)};
    if (record.fileSize != 0) {
        arguments.push_back("--size");
        arguments.push_back(std::to_string(record.fileSize));
    }
    if (!extraCaFile.empty()) {
        arguments.push_back("--ca");
        arguments.push_back(extraCaFile.string());
    }
    return arguments;
}

UpdaterLaunch::UpdaterLaunch(std::filesystem::path program, std::filesystem::path extraCaFile)
    : m_program(std::move(program)), m_extraCaFile(std::move(extraCaFile))
{
}

bool UpdaterLaunch::isRunning()
{
    return m_process.isRunning();
}

void UpdaterLaunch::cancel(UpdateList& list)
{
    constexpr std::chrono::milliseconds kGrace{500};
    if (m_process.isRunning() && !m_process.terminate(kGrace))
        platform::debugOutput("update: the updater did not end when asked; it was killed");
    m_item.reset();
    m_endedAt.reset();
    list.cancelUpdate();
}

void UpdaterLaunch::launchNext(UpdateList& list)
{
    if (m_process.isRunning())
        return;
    while (const auto index = list.itemBeingUpdated()) {
        if (list.items()[*index].state != ItemState::Waiting)
            return; // its updater is still reporting
        const auto& record = list.items()[*index].record;
        auto started =
            record.downloadPath.empty()
                ? platform::Result<platform::ChildProcess>(platform::makeError(
                      platform::Error::Code::InvalidInput, "the service gave no download path"))
                : platform::ChildProcess::start(m_program, updaterArguments(record, m_extraCaFile));
        if (started) {
            m_process = std::move(*started);
            m_item = index;
            m_endedAt.reset();
            return;
        }
        platform::debugOutput("update: " + started.error().message);
        list.applyReport(static_cast<std::int64_t>(UpdaterEvent::Failed), 0);
    }
}

void UpdaterLaunch::reported(UpdateList& list, std::int64_t event)
{
    // Only an ending report ends the item; anything else (progress, or a number no
    // updater sends) leaves the watch on the running updater.
    if (event != static_cast<std::int64_t>(UpdaterEvent::Done) &&
        event != static_cast<std::int64_t>(UpdaterEvent::Failed) &&
        event != static_cast<std::int64_t>(UpdaterEvent::SizeMismatch))
        return;
    m_item.reset();
    m_endedAt.reset();
    // The updater ends right after its last report; the next one may start meanwhile.
    launchNext(list);
}

std::optional<WindowState> UpdaterLaunch::watch(UpdateList& list)
{
    if (m_process.isRunning())
        return std::nullopt;
    if (!m_item) {
        // The last updater reported and has ended since: the next item's turn.
        launchNext(list);
        return std::nullopt;
    }
    if (!waitsForDownload(list, *m_item) || list.itemBeingUpdated() != m_item) {
        m_item.reset();
        return std::nullopt;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_endedAt) {
        m_endedAt = now;
        return std::nullopt;
    }
    if (now - *m_endedAt < kReportGrace)
        return std::nullopt;
    platform::debugOutput("update: the updater ended (status " +
                          std::to_string(m_process.exitStatus().value_or(-1)) +
                          ") without saying how; the item failed");
    m_item.reset();
    m_endedAt.reset();
    auto state = list.applyReport(static_cast<std::int64_t>(UpdaterEvent::Failed), 0);
    launchNext(list);
    return state;
}

} // namespace update
