#pragma once

// The wait `listen` and `devices --watch` share: the device watcher runs and the
// command's window handles what it reports, until the time limit or Ctrl+C.

#include "device/detect/device_watcher.h"
#include "platform/window_messages.h"

#include <string>

namespace cli {

struct WatchLoop {
    std::string command;    // "halvekctl listen", for the message when the watcher fails
    std::string waitingFor; // "listening for device reports"
    long seconds = 0;       // the time limit; 0: until Ctrl+C
};

// Says what it waits for, starts the watcher and runs the thread's messages until the
// time limit or Ctrl+C; then destroys `window` (which releases a watcher waiting in a
// send) and stops the watcher. 0, or 1 when the watcher could not start.
int runWatchLoop(const WatchLoop& loop, HWND window, detect::DeviceWatcher& watcher);

} // namespace cli
