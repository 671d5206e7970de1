#pragma once

#include "platform/window_messages.h"
#include "ui/script/script.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class CPaintManagerUI;
class CControlUI;

namespace ui::script {

// Plugs or unplugs an emulated link; false when it could not (no simulation running).
using SimulationHandler = std::function<bool(SimAction, SimLink)>;
// Delivers a click on the program's tray icon as the desktop would; false when it could not.
using TrayHandler = std::function<bool(TrayButton)>;

// Runs a parsed script on the UI thread, one step per turn of the message loop: each
// step is started by a message or timer of the runner's own handle, so the windows
// keep handling their messages (paint, timers, device notices) between steps. Input
// reaches the windows as window messages through their own handling.
class ScriptRunner {
public:
    // How long "wait" gives a control to appear.
    static constexpr std::chrono::milliseconds kWaitTimeout{10000};

    // mainWindow: the window screenshots are taken of.
    ScriptRunner(std::vector<Step> steps, HWND mainWindow);
    ~ScriptRunner();
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Tests shorten it; a session keeps the 10 s.
    void setWaitTimeout(std::chrono::milliseconds timeout) { m_waitTimeout = timeout; }
    void setSimulationHandler(SimulationHandler handler) { m_simulation = std::move(handler); }
    void setTrayHandler(TrayHandler handler) { m_tray = std::move(handler); }
    // Called once when the script ends the program: with 0 at "quit" (every step held),
    // with 1 after a failing step. A script without "quit" never calls it.
    void setFinishedHandler(std::function<void(int exitCode)> handler)
    {
        m_finished = std::move(handler);
    }
    // Where the line of a failing step goes; stderr unless set.
    void setReport(std::function<void(const std::string&)> report) { m_report = std::move(report); }

    void start();
    bool isRunning() const { return m_running; }

private:
    enum class Turn { Next, Later, Failed, Finished };

    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void runSteps();
    Turn runStep(const Step& step);
    Turn runWait(const Step& step);
    Turn fail(const Step& step, const std::string& why);
    void scheduleNext(std::chrono::milliseconds delay);
    void finish(int exitCode);
    void watchPaints();
    void stopWatchingPaints();

    std::vector<Step> m_steps;
    HWND m_mainWindow;
    HWND m_handle = nullptr;
    std::size_t m_next = 0;
    bool m_running = false;
    bool m_waiting = false;
    bool m_watchingPaints = false;
    bool m_recheckPosted = false;
    std::chrono::steady_clock::time_point m_waitDeadline{};
    std::chrono::milliseconds m_waitTimeout = kWaitTimeout;
    SimulationHandler m_simulation;
    TrayHandler m_tray;
    std::function<void(int)> m_finished;
    std::function<void(const std::string&)> m_report;
};

// Where a control of this name is: the newest visible window's tree first, then the
// others, hidden windows last. Null when no window has it.
struct FoundControl {
    CPaintManagerUI* manager = nullptr;
    CControlUI* control = nullptr;
};
FoundControl findControlInWindows(std::wstring_view name);

} // namespace ui::script
