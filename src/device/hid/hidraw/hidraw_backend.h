#pragma once

#include "device/hid/hid_backend.h"

namespace hid::hidraw {

// Lists and opens the collections of the system's hidraw nodes, through hidapi.
Backend& hidrawBackend();

} // namespace hid::hidraw
