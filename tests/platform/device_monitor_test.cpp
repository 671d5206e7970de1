#include "platform/device_monitor.h"

#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(DeviceMonitor, WithoutADeviceDaemonItSaysItHearsNothing)
{
    // libudev opens its socket fine with no daemon to send on it; the monitor must not claim
    // to be listening then, or watchers wait for events that never come.
    platform::clearDebugLines();
    const auto missing = std::filesystem::temp_directory_path() / "halvek-no-udev" / "control";
    const platform::DeviceMonitor monitor(
        "hidraw", [] {}, missing);
    EXPECT_FALSE(monitor.isActive());
    EXPECT_TRUE(platform::debugLinesContain(L"no udev daemon"));
}
