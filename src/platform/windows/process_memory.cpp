#include "platform/process_memory.h"

namespace platform {

// The Windows heap maps large blocks for themselves and decommits free pages on its own.
void configureProcessHeap() {}

void releaseFreeHeap() {}

} // namespace platform
