#include "pages/devices/tessary_keyboard_device.h"

#include "devsim/keyboard.h"
#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <chrono>

using detect::DeviceTypeId;
using devsim::KeyboardLink;

namespace {

using namespace std::chrono_literals;

bool pumpUntil(const std::function<bool()>& done)
{
    return platform::MessageQueue::current().runUntil(done, std::chrono::steady_clock::now() + 5s);
}

// The keyboard's device object with its channel and cable listener on the emulated keyboard.
struct ListeningKeyboard {
    devsim::Keyboard device;
    CTessaryKeyboardDevice control;

    ListeningKeyboard()
    {
        device.plug(KeyboardLink::Cable);
        auto& channel = control.keyboard().channel();
        EXPECT_TRUE(
            channel.openLink(protocol::Link::Wired, device.commandPath(KeyboardLink::Cable)));
        channel.setLinkMode(protocol::LinkMode::Wired);
        EXPECT_TRUE(control.model().openListener(device.consumerPath(KeyboardLink::Cable),
                                                 DeviceTypeId::KeyboardCable));
    }
};

} // namespace

TEST(DeviceNoticeWindow, ProfileSwitchOnTheDeviceReachesTheObjectThroughItsWindow)
{
    ListeningKeyboard keyboard;
    ASSERT_TRUE(keyboard.device.switchProfile(6));
    ASSERT_TRUE(pumpUntil([&] { return keyboard.control.keyboard().deviceState()[0] == 6; }));
}

TEST(DeviceNoticeWindow, ObjectGoesWithANoticeStillPosted)
{
    {
        ListeningKeyboard keyboard;
        ASSERT_TRUE(keyboard.device.switchProfile(1));
        ASSERT_TRUE(keyboard.device.sendConsumerUsage(0x0401));
    }
    // Neither the notice nor a sync timer outlives the object.
    const auto until = std::chrono::steady_clock::now() + 100ms;
    EXPECT_FALSE(platform::MessageQueue::current().runUntil([] { return false; }, until));
}
