#pragma once

#include "device/protocol/device_protocol.h"
#include "fake_device.h"

#include <gtest/gtest.h>

// A fake keyboard with the channel open on it, on the cable unless a test switches.
class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override { openOn(protocol::LinkMode::Wired); }

    void openOn(protocol::LinkMode mode)
    {
        const auto link =
            mode == protocol::LinkMode::Receiver ? protocol::Link::Receiver : protocol::Link::Wired;
        ASSERT_TRUE(channel.openLink(link, device.path()));
        channel.setLinkMode(mode);
    }

    FakeDevice device;
    CDeviceProtocol channel;
};
