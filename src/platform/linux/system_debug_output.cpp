#include "platform/system_debug_output.h"

namespace platform {

// Linux has no such channel: the ring and stderr (HALVEK_DEBUG=1) are the trace.
void systemDebugOutput(std::wstring_view) {}

} // namespace platform
