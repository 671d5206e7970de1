#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

namespace platform {

// Time since the system started this process (before any of its code ran).
[[nodiscard]] std::optional<std::chrono::milliseconds> timeSinceProcessStart();
// The process's resident memory in bytes.
[[nodiscard]] std::optional<std::size_t> residentMemoryBytes();

} // namespace platform
