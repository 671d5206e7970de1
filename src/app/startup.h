#pragma once

#include <filesystem>
#include <string>

namespace app {

// The program's entry: fonts, single instance, UI library set-up, the registered
// messages, the main window and its message loop, then teardown in reverse order.
// Returns the exit code: 0, also for a second start that woke the first.
struct StartOptions {
    // Emulated devices to attach ("both", "cable", "receiver", "socket"); empty: none.
    std::string simulate;
    std::string simState; // the emulated keyboard's memory between runs
};
int runHalvek(const StartOptions& options = {});

// The UI library's resource set-up: mode 1 (skin files), the resource path below the
// program folder, the skin index "res.xml" and the application's control classes.
void setupUiResources(const std::filesystem::path& programFolder);

} // namespace app
