#pragma once

#include "device/hid/hid_backend.h"

namespace hid::sim {

// Lists and opens the collections of every plugged SimInterface.
Backend& simBackend();

} // namespace hid::sim
