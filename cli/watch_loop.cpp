#include "watch_loop.h"

#include "platform/interrupt.h"
#include "platform/message_queue.h"

#include <chrono>
#include <cstdio>

namespace cli {
namespace {

constexpr UINT kMsgStop = WM_APP + 0x100;
constexpr UINT_PTR kTimeLimitTimer = 1;

} // namespace

int runWatchLoop(const WatchLoop& loop, HWND window, detect::DeviceWatcher& watcher)
{
    auto& queue = platform::MessageQueue::current();
    // A window of its own ends the wait, so the command's window needs to know nothing of it.
    const HWND stopper = queue.createWindow([](HWND, UINT message, WPARAM wParam, LPARAM) {
        if (message == kMsgStop || (message == WM_TIMER && wParam == kTimeLimitTimer))
            platform::postQuitMessage(0);
        return LRESULT{0};
    });
    platform::InterruptNotice interrupt(
        [stopper] { platform::postMessage(stopper, kMsgStop, 0, 0); });
    if (loop.seconds > 0)
        platform::setTimer(stopper, kTimeLimitTimer, std::chrono::seconds(loop.seconds));
    std::printf("%s%s\n", loop.waitingFor.c_str(),
                loop.seconds > 0 ? (" for " + std::to_string(loop.seconds) + " s").c_str()
                                 : " (Ctrl+C ends)");
    std::fflush(stdout);
    if (!watcher.start()) {
        std::fprintf(stderr, "%s: the device watcher could not start\n", loop.command.c_str());
        queue.destroyWindow(stopper);
        return 1;
    }
    platform::Message message;
    while (queue.getMessage(message))
        queue.dispatchMessage(message);
    // The window goes first: it releases a watcher waiting in a send.
    queue.destroyWindow(window);
    watcher.stop();
    queue.destroyWindow(stopper);
    return 0;
}

} // namespace cli
