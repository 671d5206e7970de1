#pragma once

// The hidraw ioctls a node file answers: the report descriptor and its size, the bus and
// ids, and the name, physical path and serial strings. Feature and input/output report
// requests are refused with ENOTTY, as the emulated devices declare no such reports.

#include "devsim/hidraw/hidraw_node.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace devsim::hidraw {

// What the caller gets back (`out`, at most `outSize` bytes) and the call's value, or -errno.
int answerIoctl(const HidrawNode& node, unsigned request, std::size_t outSize,
                std::vector<std::uint8_t>& out);

} // namespace devsim::hidraw
