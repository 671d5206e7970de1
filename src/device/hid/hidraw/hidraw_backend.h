#pragma once

#include "device/hid/hid_backend.h"

namespace hid::hidraw {

// Lists and opens the collections of the system's hidraw nodes, through hidapi.
Backend& hidrawBackend();

// What a failed write's errno means: Gone only when the device itself left (ENODEV,
// ESHUTDOWN); a stalled, timed-out or garbled transfer (EPIPE, ETIMEDOUT, EPROTO, ...)
// fails that write alone and the connection stays.
[[nodiscard]] Transfer writeFailure(int error);

} // namespace hid::hidraw
