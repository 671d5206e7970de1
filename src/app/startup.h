#pragma once

#include "app/command_line.h"

#include <filesystem>
#include <string>

namespace app {

// The program's entry: fonts, single instance, UI library set-up, the registered
// messages, the main window and its message loop, then teardown in reverse order.
// Returns the exit code: 0, also for a second start that woke the first and when the
// main window cannot be created; 1 when a script step failed, the display went away or
// there is no display; 2 for a script file that cannot be read or parsed.
int runHalvek(const CommandLine& options);

// The UI library's resource set-up: mode 1 (skin files), the resource path below the
// program folder, the skin index "res.xml" and the application's control classes.
void setupUiResources(const std::filesystem::path& programFolder);

} // namespace app
