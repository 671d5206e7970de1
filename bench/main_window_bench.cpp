// The UI thread's longest stall while the main window streams live lighting frames to the
// emulated keyboard (USB timing on), against the same window with no device, in one run.
//
//   build/release/bench/main_window_bench [seconds]
//
// A 1 ms window timer stands for the user's input: the longest gap between two of its
// ticks is the longest the window could not answer.
#include "app/main_wnd.h"
#include "app/startup.h"
#include "devsim/keyboard.h"
#include "platform/folders.h"
#include "platform/message_queue.h"
#include "platform/registered_messages.h"
#include "shell/app_messages.h"
#include "ui/paint_manager_ui.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

class NoTray final : public ui::TrayBackend {
public:
    bool show(const ui::TrayTarget&, std::wstring_view) override { return true; }
    void setTooltip(std::wstring_view) override {}
    void hide() override {}
    bool hasHost() const override { return true; }
};

struct Stalls {
    double longestMs = 0;
    long ticks = 0;
};

Stalls measure(std::chrono::seconds length, devsim::Keyboard* keyboard)
{
    const auto scratch = std::filesystem::temp_directory_path() / "halvek-main-window-bench";
    app::MainWndOptions options;
    options.tray = std::make_unique<NoTray>();
    options.userDataFolder = scratch / "data";
    options.settingsFile = scratch / "settings.conf";
    app::CMainWnd window(std::move(options));
    window.Create(nullptr, L"SPhalvek2vizudi", 0x96CA0000, 0, 0, 0, 800, 572);
    auto& queue = platform::MessageQueue::current();
    const auto until = [&](auto done, std::chrono::seconds limit) {
        return queue.runUntil(done, Clock::now() + limit);
    };
    window.GetPaintManager().Paint();
    if (keyboard) {
        keyboard->plug(devsim::KeyboardLink::Cable);
        // The device is started half a second after its channel opens; stream after that.
        if (!until([&] { return window.activeDevice() != nullptr; }, std::chrono::seconds(10)))
            std::fputs("the keyboard did not arrive\n", stderr);
        until([] { return false; }, std::chrono::seconds(2));
    }

    Stalls stalls;
    Clock::time_point last{};
    const HWND probe = queue.createWindow([&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg != WM_TIMER)
            return 0;
        const auto now = Clock::now();
        if (last != Clock::time_point{})
            stalls.longestMs = std::max(
                stalls.longestMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
        ++stalls.ticks;
        return 0;
    });
    platform::setTimer(probe, 1, std::chrono::milliseconds(1));
    until([] { return false; }, length);
    queue.destroyWindow(probe);
    if (keyboard)
        keyboard->unplug(devsim::KeyboardLink::Cable);
    ui::destroyWindow(window.GetHWND());
    queue.takeQuit();
    return stalls;
}

} // namespace

int main(int argc, char** argv)
{
    const std::chrono::seconds length(argc > 1 ? std::max(1, std::atoi(argv[1])) : 3);
    // The build folder holds the skin and the factory data beside the programs.
    const auto programFolder = platform::executableFolder().parent_path();
    CPaintManagerUI::SetInstancePath(programFolder.wstring() + L"/");
    app::setupUiResources(programFolder);
    shell::appMessages().instance = platform::registerMessage(L"SPhalvek2vizudi");

    const Stalls idle = measure(length, nullptr);
    devsim::Keyboard keyboard;
    keyboard.setUsbTiming(true);
    const Stalls streaming = measure(length, &keyboard);
    std::printf("longest UI stall, no device:            %7.2f ms (%ld ticks)\n", idle.longestMs,
                idle.ticks);
    std::printf("longest UI stall, streaming to keyboard: %7.2f ms (%ld ticks)\n",
                streaming.longestMs, streaming.ticks);
    std::printf("ratio: %.2f\n", idle.longestMs > 0 ? streaming.longestMs / idle.longestMs : 0.0);
    return 0;
}
