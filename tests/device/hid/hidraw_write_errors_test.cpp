// How the hidraw backend tells a device that left from a transfer that failed.
#include "device/hid/hidraw/hidraw_backend.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(HidrawWriteErrors, OnlyADeviceThatLeftEndsTheConnection)
{
    // A stalled or garbled transfer fails one command; treating it as an unplug would tear
    // down the link and replay the arrival for a device that never left.
    EXPECT_EQ(hid::hidraw::writeFailure(ENODEV), hid::Transfer::Gone);
    EXPECT_EQ(hid::hidraw::writeFailure(ESHUTDOWN), hid::Transfer::Gone);
    for (const int transient : {EPIPE, ETIMEDOUT, EPROTO, EIO, EAGAIN})
        EXPECT_EQ(hid::hidraw::writeFailure(transient), hid::Transfer::Failed) << transient;
}
