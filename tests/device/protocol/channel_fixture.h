#pragma once

#include "device/protocol/device_protocol.h"
#include "devsim/keyboard.h"

#include <gtest/gtest.h>

// The emulated keyboard on its cable and its receiver, with the channel open on the cable
// unless a test switches.
class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        device.plug(devsim::KeyboardLink::Cable);
        device.plug(devsim::KeyboardLink::Receiver);
        openOn(protocol::LinkMode::Wired);
    }

    void openOn(protocol::LinkMode mode)
    {
        const bool receiver = mode == protocol::LinkMode::Receiver;
        const auto link = receiver ? protocol::Link::Receiver : protocol::Link::Wired;
        ASSERT_TRUE(
            channel.openLink(link, device.commandPath(receiver ? devsim::KeyboardLink::Receiver
                                                               : devsim::KeyboardLink::Cable)));
        channel.setLinkMode(mode);
    }

    devsim::Keyboard device;
    CDeviceProtocol channel;
};
