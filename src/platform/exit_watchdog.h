#pragma once

#include <chrono>
#include <string>

namespace platform {

// The last resort of every exit path: when the process has not ended by itself within
// the time, it is ended with the exit code (after the reason is written to stderr), so a
// teardown stuck in a toolkit, or a display that went away, never keeps the process and
// its single-instance lock alive. The first call arms it; later calls can only bring the
// deadline closer. Safe from any thread, also from inside an error handler.
void armExitWatchdog(std::chrono::milliseconds timeout, int exitCode, std::string reason);

} // namespace platform
