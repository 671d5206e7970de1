#pragma once

namespace platform {

// Sets how the heap takes memory from the system and gives it back. Called once at the
// start of main, before any thread starts.
void configureProcessHeap();
// Hands the heap's free pages back to the system: after start-up's passing work, whose
// memory would otherwise stay with the process for as long as it runs.
void releaseFreeHeap();

} // namespace platform
