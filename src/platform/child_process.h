#pragma once

#include "platform/result.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A program this process started (the companions: the audio capture, the updater). The
// child gets no standard input, keeps standard error, and is told to end when this
// process ends. Every wait here is bounded, so a child that hangs never holds up the
// caller. Not thread-safe: one owner.
class ChildProcess {
public:
    ChildProcess() = default;
    // Leaves a running child running (it ends with this process); reaps one that ended.
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `arguments` (not through a shell). A program name without a
    // folder is looked up in PATH.
    [[nodiscard]] static Result<ChildProcess> start(const std::filesystem::path& program,
                                                    const std::vector<std::string>& arguments);

    bool isStarted() const { return m_pid > 0; }
    int processId() const { return m_pid; }
    // False once the child has ended (and has been reaped).
    bool isRunning();
    // Waits up to `timeout` for the child to end; true when it has.
    bool waitForExit(std::chrono::milliseconds timeout);
    // The exit status once ended: the code, or -signal when a signal ended it.
    std::optional<int> exitStatus() const { return m_status; }
    // Asks it to end (SIGTERM), waits up to `grace`, then ends it (SIGKILL) and reaps it.
    // True when it ended within the grace time.
    bool terminate(std::chrono::milliseconds grace);

private:
    void reap(bool block);
    void release();
    void askToEnd(); // the system's polite request (SIGTERM, Ctrl+Break)
    void forceEnd(); // and its last word

    int m_pid = -1;
    int m_pidFd = -1;
    std::optional<int> m_status;
};

} // namespace platform
