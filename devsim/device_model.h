#pragma once

// What tells one emulated device from another: its USB identity, its interfaces' report
// descriptors and its factory memory. The links, command handling, faults and USB timing
// are the same machinery for every device (EmulatedDevice).

#include "devsim/keyboard_memory.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace devsim {

struct DeviceModel {
    std::string_view name; // "keyboard", "mouse": names the state file format too
    std::uint16_t cableProductId = 0;
    std::uint16_t receiverProductId = 0;
    std::span<const std::uint8_t> bootDescriptor;      // interface 0
    std::span<const std::uint8_t> compositeDescriptor; // interface 1: consumer 3, commands 4
    KeyboardMemory (*factoryMemory)() = nullptr;
};

const DeviceModel& keyboardModel();
const DeviceModel& mouseModel();

} // namespace devsim
