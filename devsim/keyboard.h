#pragma once

// The emulated keyboard, reached through its own cable (product 5078) and through its
// 2.4 GHz receiver (product 5001).

#include "devsim/emulated_device.h"

namespace devsim {

class Keyboard final : public EmulatedDevice {
public:
    Keyboard() : EmulatedDevice(keyboardModel()) {}
};

} // namespace devsim
