#pragma once

#include <string_view>

namespace platform {

// Hands one trace line to the system's own debug channel, where it has one (a debugger or
// a log viewer shows it there); nothing where it has none. Thread-safe.
void systemDebugOutput(std::wstring_view line);

} // namespace platform
