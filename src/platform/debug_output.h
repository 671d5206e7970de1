#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The program's one trace. Every line goes into a bounded in-memory ring (so tests can
// read it back) and, when HALVEK_DEBUG=1, to stderr as UTF-8. Thread-safe.
void debugOutput(std::wstring_view line);
void debugOutput(std::string_view utf8Line);
// From now on every line goes to stderr as well, as with HALVEK_DEBUG=1 (halvek --trace).
void echoDebugOutput();

// The most recent lines, oldest first; at most kDebugRingSize of them.
inline constexpr std::size_t kDebugRingSize = 4096;
std::vector<std::wstring> debugLines();
void clearDebugLines();

// True when some line in the ring contains the given text.
bool debugLinesContain(std::wstring_view text);

} // namespace platform
