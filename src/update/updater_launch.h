#pragma once

#include "update/update_list.h"

#include "platform/child_process.h"
#include "platform/result.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace update {

// The command line of halvek-update for one list item: the download path and file name
// from the service's answer (the updater treats both as untrusted), the size when the
// service gave one, and the extra certificate authority when one is configured.
std::vector<std::string> updaterArguments(const UpdateRecord& record,
                                          const std::filesystem::path& extraCaFile);

// Runs halvek-update for the list's items one after the other and turns its end into a
// report when it ended without one (a crash, a kill, a refused start), so an item never
// waits for ever and a failed download never shows as done. UI thread.
class UpdaterLaunch {
public:
    UpdaterLaunch(std::filesystem::path program, std::filesystem::path extraCaFile);

    // Starts the updater for the item being updated when it waits and none runs. A start
    // that fails is applied to the list as a failure, and the next item is tried.
    void launchNext(UpdateList& list);
    // Called now and then (a timer): an updater that ended without its last report fails
    // its item once the report had time to arrive. The window state when that ended the
    // update.
    std::optional<WindowState> watch(UpdateList& list);
    // A report reached the list: the next item is started once this one is over.
    void reported(UpdateList& list, std::int64_t event);

    bool isRunning();
    // Ends the running updater (its partial file stays for a later run) and fails every
    // item still waiting for its download, so the window can close.
    void cancel(UpdateList& list);

private:
    std::filesystem::path m_program;
    std::filesystem::path m_extraCaFile;
    platform::ChildProcess m_process;
    std::optional<std::size_t> m_item;
    std::optional<std::chrono::steady_clock::time_point> m_endedAt;
};

} // namespace update
