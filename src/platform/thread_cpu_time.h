#pragma once

#include <chrono>

namespace platform {

// The CPU time the calling thread has used so far; zero where the system cannot say.
std::chrono::nanoseconds threadCpuTime();

} // namespace platform
