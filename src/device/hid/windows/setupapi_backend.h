#pragma once

#include "device/hid/hid_backend.h"

namespace hid::windows {

// Lists the system's HID collections through SetupAPI and opens them through hid.dll with
// overlapped reads and writes. Each top-level collection is a device interface of its own,
// so its path is the system's ("\\?\hid#vid_…&pid_…&mi_…&col…#…#{…}").
Backend& setupApiBackend();

} // namespace hid::windows
