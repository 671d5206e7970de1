#include "ui/script/script_runner.h"

#include "platform/message_queue.h"
#include "platform/text.h"
#include "ui/focus_order.h"
#include "ui/paint_listener.h"
#include "ui/paint_manager_ui.h"
#include "ui/ui_driver.h"
#include "ui/window_wnd.h"

#include <algorithm>
#include <cstdio>

namespace ui::script {
namespace {

constexpr UINT kRunMessage = WM_APP + 0x5C;
// "wait" looks again: posted after a window painted, taken only while a wait is on.
constexpr UINT kRecheckMessage = WM_APP + 0x5D;
constexpr UINT_PTR kStepTimer = 1;

bool isShownWindow(HWND hwnd)
{
    const CWindowWnd* window = windowFromHandle(hwnd);
    return window && window->IsWindowVisible() && !window->IsIconic();
}

bool isShown(const FoundControl& found)
{
    return found.control && found.control->IsVisible() &&
           isShownWindow(found.manager->GetPaintWindow());
}

// Handles count up, so the largest is the newest: dialogs come before the main window.
std::vector<CPaintManagerUI*> managersNewestFirst()
{
    auto managers = CPaintManagerUI::GetPaintManagers();
    std::erase_if(managers, [](CPaintManagerUI* m) {
        return !m->GetPaintWindow() || !windowFromHandle(m->GetPaintWindow());
    });
    std::stable_sort(managers.begin(), managers.end(), [](CPaintManagerUI* a, CPaintManagerUI* b) {
        const bool shownA = isShownWindow(a->GetPaintWindow());
        const bool shownB = isShownWindow(b->GetPaintWindow());
        if (shownA != shownB)
            return shownA;
        return reinterpret_cast<std::uintptr_t>(a->GetPaintWindow()) >
               reinterpret_cast<std::uintptr_t>(b->GetPaintWindow());
    });
    return managers;
}

std::string quotedText(std::wstring_view text)
{
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "\"" + string.
    std::string quoted(1, '"');
    quoted += platform::toUtf8(text);
    quoted += '"';
    return quoted;
}

} // namespace

FoundControl findControlInWindows(std::wstring_view name)
{
    FoundControl hidden;
    for (CPaintManagerUI* manager : managersNewestFirst()) {
        if (CControlUI* control = findShownControl(*manager, name)) {
            const FoundControl found{manager, control};
            if (isShown(found))
                return found;
            if (!hidden.control)
                hidden = found;
        }
    }
    return hidden;
}

ScriptRunner::ScriptRunner(std::vector<Step> steps, HWND mainWindow)
    : m_steps(std::move(steps)), m_mainWindow(mainWindow)
{
    m_handle = platform::MessageQueue::current().createWindow(
        [this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
            return handleMessage(msg, wParam, lParam);
        });
    m_report = [](const std::string& line) {
        std::fputs((line + "\n").c_str(), stderr);
        std::fflush(stderr);
    };
}

ScriptRunner::~ScriptRunner()
{
    stopWatchingPaints();
    platform::MessageQueue::current().destroyWindow(m_handle);
}

void ScriptRunner::start()
{
    if (m_running)
        return;
    m_running = true;
    m_next = 0;
    platform::postMessage(m_handle, kRunMessage, 0, 0);
}

LRESULT ScriptRunner::handleMessage(UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == kRecheckMessage) {
        m_recheckPosted = false;
        if (!m_watchingPaints)
            return 0;
    }
    if (msg == kRunMessage || msg == kRecheckMessage || (msg == WM_TIMER && wParam == kStepTimer)) {
        platform::killTimer(m_handle, kStepTimer);
        runSteps();
    }
    return 0;
}

void ScriptRunner::watchPaints()
{
    if (m_watchingPaints)
        return;
    m_watchingPaints = true;
    ui::setPaintListener([this] {
        if (!m_recheckPosted)
            m_recheckPosted = platform::postMessage(m_handle, kRecheckMessage, 0, 0);
    });
}

void ScriptRunner::stopWatchingPaints()
{
    if (!m_watchingPaints)
        return;
    m_watchingPaints = false;
    ui::setPaintListener({});
}

void ScriptRunner::scheduleNext(std::chrono::milliseconds delay)
{
    if (delay.count() <= 0)
        platform::postMessage(m_handle, kRunMessage, 0, 0);
    else
        platform::setTimer(m_handle, kStepTimer, delay);
}

void ScriptRunner::runSteps()
{
    if (!m_running)
        return;
    if (m_next >= m_steps.size()) {
        // The last step held and no "quit": the program goes on as the user left it.
        m_running = false;
        return;
    }
    const Step step = m_steps[m_next];
    // Input may open a modal window whose own loop runs until it closes: the next step is
    // queued first, so the script goes on inside that loop (and can close the window).
    const bool input = step.kind == StepKind::Click || step.kind == StepKind::Select ||
                       step.kind == StepKind::Type || step.kind == StepKind::Key ||
                       step.kind == StepKind::Chars || step.kind == StepKind::TabTo;
    if (input) {
        ++m_next;
        scheduleNext(std::chrono::milliseconds(0));
    }
    switch (runStep(step)) {
    case Turn::Next:
        if (!input) {
            ++m_next;
            // One step per turn: what the step caused is handled before the next begins.
            scheduleNext(std::chrono::milliseconds(0));
        }
        return;
    case Turn::Later:
        return;
    case Turn::Failed:
        finish(1);
        return;
    case Turn::Finished:
        ++m_next;
        finish(0);
        return;
    }
}

void ScriptRunner::finish(int exitCode)
{
    if (!m_running)
        return;
    m_running = false;
    platform::killTimer(m_handle, kStepTimer);
    stopWatchingPaints();
    if (m_finished)
        m_finished(exitCode);
}

ScriptRunner::Turn ScriptRunner::fail(const Step& step, const std::string& why)
{
    if (m_report)
        m_report("script line " + std::to_string(step.line) + ": " + why);
    return Turn::Failed;
}

ScriptRunner::Turn ScriptRunner::runWait(const Step& step)
{
    const auto now = std::chrono::steady_clock::now();
    if (!m_waiting) {
        m_waiting = true;
        m_waitDeadline = now + m_waitTimeout;
    }
    const FoundControl found = findControlInWindows(step.name);
    if (isShown(found)) {
        m_waiting = false;
        stopWatchingPaints();
        return Turn::Next;
    }
    if (now >= m_waitDeadline) {
        m_waiting = false;
        stopWatchingPaints();
        return fail(step, "wait " + platform::toUtf8(step.name) + ": " +
                              (found.control ? "the control stayed hidden"
                                             : "no control of that name appeared") +
                              " within " + std::to_string(m_waitTimeout.count()) + " ms");
    }
    // A control appears only through a paint or layout of its window: look again after
    // the next one, and once more at the deadline.
    watchPaints();
    scheduleNext(std::chrono::ceil<std::chrono::milliseconds>(m_waitDeadline - now));
    return Turn::Later;
}

ScriptRunner::Turn ScriptRunner::runStep(const Step& step)
{
    const std::string name = quotedText(step.name);
    switch (step.kind) {
    case StepKind::Wait:
        return runWait(step);
    case StepKind::Sleep:
        if (!m_waiting) {
            m_waiting = true;
            scheduleNext(std::chrono::milliseconds(step.number));
            return Turn::Later;
        }
        m_waiting = false;
        return Turn::Next;
    case StepKind::Quit:
        return Turn::Finished;
    case StepKind::Sim: {
        const char* what = step.simAction == SimAction::Plug ? "plug" : "unplug";
        const char* link = step.simLink == SimLink::Cable ? "cable" : "receiver";
        if (!m_simulation)
            return fail(step, std::string("sim ") + what + " " + link +
                                  ": no emulated device (start halvek with --simulate)");
        if (!m_simulation(step.simAction, step.simLink))
            return fail(step, std::string("sim ") + what + " " + link +
                                  ": refused (is halvek running with --simulate?)");
        return Turn::Next;
    }
    case StepKind::Tray:
        // Without a tray host the icon cannot be clicked; the window takes the click as it would.
        if (!m_tray || !m_tray(step.trayButton))
            return fail(step, "tray: the click could not be delivered");
        return Turn::Next;
    case StepKind::Screenshot:
    case StepKind::ScreenshotTop: {
        CPaintManagerUI* manager = nullptr;
        if (step.kind == StepKind::ScreenshotTop) {
            const auto managers = managersNewestFirst();
            if (!managers.empty() && isShownWindow(managers.front()->GetPaintWindow()))
                manager = managers.front();
        } else {
            for (CPaintManagerUI* m : CPaintManagerUI::GetPaintManagers()) {
                if (m->GetPaintWindow() == m_mainWindow)
                    manager = m;
            }
        }
        if (!manager)
            return fail(step, "screenshot: the main window is gone");
        manager->Paint();
        const ui::Canvas* canvas = manager->GetCanvas();
        if (!canvas || !canvas->writePng(std::filesystem::path(step.name)))
            return fail(step, "screenshot: could not write " + name);
        return Turn::Next;
    }
    case StepKind::Key:
    case StepKind::Chars:
    case StepKind::TabTo:
    case StepKind::ExpectFocus: {
        const auto managers = managersNewestFirst();
        if (managers.empty() || !isShownWindow(managers.front()->GetPaintWindow()))
            return fail(step, "no window is shown to take the keys");
        CPaintManagerUI& manager = *managers.front();
        if (step.kind == StepKind::ExpectFocus) {
            const CControlUI* focus = manager.GetFocus();
            const std::wstring focused = focus ? std::wstring(focus->GetName()) : L"";
            if (focused == step.name)
                return Turn::Next;
            return fail(step, "expect-focus " + name + ": the focus is on " +
                                  (focus ? quotedText(focused) : std::string("nothing")));
        }
        UiDriver driver(manager);
        if (step.kind == StepKind::TabTo) {
            // Each stop at most once: a name never reached fails instead of going round.
            const std::size_t stops = ui::tabStops(manager.GetRoot()).size();
            for (std::size_t i = 0; i < stops; ++i) {
                if (manager.GetFocus() && manager.GetFocus()->GetName() == step.name)
                    return Turn::Next;
                driver.key(VK_TAB);
            }
            if (manager.GetFocus() && manager.GetFocus()->GetName() == step.name)
                return Turn::Next;
            return fail(step, "tab-to " + name + ": Tab never reached it");
        }
        if (step.kind == StepKind::Chars)
            return driver.chars(step.text) ? Turn::Next : Turn::Failed;
        const KeyChord chord = keyFromName(step.name);
        if (chord.control)
            driver.controlKey(chord.virtualKey);
        else if (chord.shift)
            driver.shiftKey(chord.virtualKey);
        else
            driver.key(chord.virtualKey);
        return Turn::Next;
    }
    default:
        break;
    }

    const FoundControl found = findControlInWindows(step.name);
    if (step.kind == StepKind::ExpectVisible) {
        const bool visible = isShown(found);
        if (visible == (step.number == 1))
            return Turn::Next;
        return fail(step, "expect-visible " + name + ": the control is " +
                              (visible         ? "visible"
                               : found.control ? "hidden"
                                               : "missing"));
    }
    if (!found.control)
        return fail(step, "no control named " + name);
    if (step.kind == StepKind::Expect) {
        const std::wstring actual = found.control->GetText();
        if (actual == step.text)
            return Turn::Next;
        return fail(step, "expect " + name + ": the text is " + quotedText(actual) + ", not " +
                              quotedText(step.text));
    }
    if (!isShown(found))
        return fail(step, "the control " + name + " is hidden");
    UiDriver driver(*found.manager);
    bool done = false;
    switch (step.kind) {
    case StepKind::Click:
        done = driver.click(step.name);
        break;
    case StepKind::Select:
        done = driver.select(step.name, static_cast<int>(step.number));
        if (!done)
            return fail(step, "select " + name + ": no row " + std::to_string(step.number) +
                                  " to choose");
        break;
    case StepKind::Type:
        done = driver.type(step.name, step.text);
        break;
    default:
        break;
    }
    if (!done)
        return fail(step, "the control " + name + " cannot be reached (no area on screen)");
    return Turn::Next;
}

} // namespace ui::script
