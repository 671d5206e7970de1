#pragma once

// Device events as udevd broadcasts them after the kernel's: a "libudev" message on
// netlink group 2, whose header carries the subsystem's hash for the listeners' socket
// filters. Sent in the private network namespace, they reach only the programs run there.

#include "devsim/hidraw/sysfs_tree.h"

#include "platform/result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace devsim::hidraw {

// The hash libudev filters subsystems and device types with (MurmurHash2, seed 0).
std::uint32_t udevHash(std::string_view text);

class UeventSender {
public:
    UeventSender() = default;
    ~UeventSender();
    UeventSender(const UeventSender&) = delete;
    UeventSender& operator=(const UeventSender&) = delete;

    platform::Result<void> open();
    // action: "add" or "remove".
    platform::Result<void> send(const std::string& action, const DeviceEvent& device);

private:
    int m_socket = -1;
    std::uint64_t m_sequence = 0;
};

} // namespace devsim::hidraw
