#include "device/model/keyboard_model.h"

#include "devsim/control.h"
#include "devsim/keyboard.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "profile/profile_list.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using detect::DeviceTypeId;
using devsim::KeyboardLink;
using protocol::Status;

namespace {

using namespace std::chrono_literals;

constexpr UINT kNoticeMessage = WM_APP + 1;

// A view as the device control is one: listener threads post to its window, and the
// window's queue (this test's thread) hands the notices to the model.
class PostingView : public model::DeviceView {
public:
    explicit PostingView(model::UsbDeviceModel& device) : m_device(device)
    {
        m_window = platform::MessageQueue::current().createWindow(
            [this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
                if (message == kNoticeMessage) {
                    handledOn = std::this_thread::get_id();
                    (void)m_device.handleDeviceNotices();
                }
                return 0;
            });
    }
    ~PostingView() override { platform::MessageQueue::current().destroyWindow(m_window); }

    bool postDeviceNotices() override
    {
        ++posts;
        posted.set();
        return platform::postMessage(m_window, kNoticeMessage, 0, 0);
    }
    bool startSyncTimer() override
    {
        ++syncTimers;
        return timerInstead;
    }
    void refreshPages() override { ++refreshes; }

    std::atomic<int> posts{0};
    platform::Event posted{platform::Event::ResetPolicy::Manual};
    int syncTimers = 0;
    int refreshes = 0;
    bool timerInstead = true;
    std::thread::id handledOn;

private:
    model::UsbDeviceModel& m_device;
    HWND m_window = nullptr;
};

// The emulated keyboard on its cable, a keyboard model whose channel is open on it and
// whose cable listener hears the keyboard's consumer interface.
class DeviceNoticeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::filesystem::path factory = temp / "DefaultData";
        std::filesystem::create_directories(factory);
        for (const char* name : {"keyboard.Json", "default_light.json"})
            std::filesystem::copy_file(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" /
                                           "DefaultData" / name,
                                       factory / name);
        keyboard.setDataRoot(temp / "data");
        keyboard.setFactoryFolder(factory);
        profile::ProfileList list;
        list.SetDeviceKind(1);
        list.SetPaths(keyboard.dataFolder(), factory / "keyboard.Json");
        list.InitProfiles();
        keyboard.setProfileBaseName(list.GetCurrentProfileId());

        device.plug(KeyboardLink::Cable);
        ASSERT_TRUE(keyboard.channel().openLink(protocol::Link::Wired,
                                                device.commandPath(KeyboardLink::Cable)));
        keyboard.channel().setLinkMode(protocol::LinkMode::Wired);
        ASSERT_EQ(keyboard.ReadDevice(), Status::Ok);
        ASSERT_EQ(keyboard.LoadProfile(), model::ProfileResult::Ok);
        keyboard.setView(&view);
        ASSERT_TRUE(keyboard.openListener(device.consumerPath(KeyboardLink::Cable),
                                          DeviceTypeId::KeyboardCable));
    }

    void TearDown() override { keyboard.setView(nullptr); }

    // Waits until a message was posted, without handling it.
    bool waitForPost() { return view.posted.waitFor(5s); }

    bool pumpUntil(const std::function<bool()>& done)
    {
        return platform::MessageQueue::current().runUntil(done,
                                                          std::chrono::steady_clock::now() + 5s);
    }

    testing_support::TempDir temp;
    devsim::Keyboard device;
    model::KeyboardModel keyboard;
    PostingView view{keyboard};
};

TEST_F(DeviceNoticeTest, ProfileSwitchOnTheDeviceChangesTheSlotOnTheUiThread)
{
    devsim::Control control(device, {});
    EXPECT_EQ(control.run("profile 3"), "switched to slot 3\n");
    ASSERT_TRUE(waitForPost());
    // Heard, but nothing changes until the UI thread handles the message.
    EXPECT_NE(keyboard.deviceState()[0], 3);
    EXPECT_EQ(view.refreshes, 0);
    ASSERT_TRUE(pumpUntil([&] { return keyboard.deviceState()[0] == 3; }));
    EXPECT_EQ(view.handledOn, std::this_thread::get_id());
    EXPECT_GE(view.refreshes, 1);

    // The two-value notice also sets byte 17 of the kept slot record.
    ASSERT_TRUE(device.sendConsumerUsage(0x1123));
    ASSERT_TRUE(pumpUntil([&] { return keyboard.lastSlotRecord()[17] == 2; }));
    EXPECT_EQ(keyboard.deviceState()[0], 3);
}

TEST_F(DeviceNoticeTest, NoticesWhileTheChannelIsClosedAreDropped)
{
    keyboard.channel().closeLinks();
    ASSERT_TRUE(device.sendConsumerUsage(0x1105));
    ASSERT_TRUE(waitForPost());
    ASSERT_TRUE(pumpUntil([&] { return view.handledOn == std::this_thread::get_id(); }));
    EXPECT_NE(keyboard.deviceState()[0], 5);
    EXPECT_EQ(view.refreshes, 0);
    EXPECT_EQ(view.syncTimers, 0);
}

TEST_F(DeviceNoticeTest, SyncRequestsStartTheSyncTimerOrReadAtOnce)
{
    ASSERT_TRUE(device.sendConsumerUsage(0x0401));
    ASSERT_TRUE(pumpUntil([&] { return view.syncTimers == 1; }));
    EXPECT_EQ(view.refreshes, 0); // the timer's re-read refreshes, not the notice

    // A view without the timer: the state is read again now, which refreshes the pages.
    view.timerInstead = false;
    ASSERT_TRUE(device.sendConsumerUsage(0x0402));
    ASSERT_TRUE(pumpUntil([&] { return view.syncTimers == 2; }));
    EXPECT_GE(view.refreshes, 1);
    EXPECT_EQ(model::lastCableUsage(), 0x0402);
}

TEST_F(DeviceNoticeTest, ClosingWhileTheListenerWaitsInAReadEndsItsThread)
{
    for (int round = 0; round < 10; ++round) {
        EXPECT_TRUE(keyboard.closeListener(DeviceTypeId::KeyboardCable));
        EXPECT_FALSE(keyboard.isListening(model::ListenerLink::Cable));
        ASSERT_TRUE(keyboard.openListener(device.consumerPath(KeyboardLink::Cable),
                                          DeviceTypeId::KeyboardCable));
    }
    // The receiver's listener is another one: closing it leaves the cable's alone.
    EXPECT_TRUE(keyboard.closeListener(DeviceTypeId::KeyboardReceiver));
    EXPECT_TRUE(keyboard.isListening(model::ListenerLink::Cable));
}

TEST_F(DeviceNoticeTest, UnplugWhileListeningThenReplug)
{
    device.unplug(KeyboardLink::Cable);
    EXPECT_TRUE(keyboard.closeListener(DeviceTypeId::KeyboardCable));
    device.plug(KeyboardLink::Cable);
    ASSERT_TRUE(keyboard.channel().openLink(protocol::Link::Wired,
                                            device.commandPath(KeyboardLink::Cable)));
    ASSERT_TRUE(keyboard.openListener(device.consumerPath(KeyboardLink::Cable),
                                      DeviceTypeId::KeyboardCable));
    ASSERT_TRUE(device.switchProfile(4));
    ASSERT_TRUE(pumpUntil([&] { return keyboard.deviceState()[0] == 4; }));
}

TEST(DeviceNoticeLifetime, ModelGoesWhileListeningWithANoticeStillPosted)
{
    devsim::Keyboard device;
    device.plug(KeyboardLink::Cable);
    {
        model::KeyboardModel keyboard;
        PostingView view(keyboard);
        keyboard.setView(&view);
        ASSERT_TRUE(keyboard.openListener(device.consumerPath(KeyboardLink::Cable),
                                          DeviceTypeId::KeyboardCable));
        ASSERT_TRUE(device.switchProfile(2));
        ASSERT_TRUE(view.posted.waitFor(5s));
        keyboard.setView(nullptr);
    }
    // The posted message went with the view's window: nothing is left to run.
    EXPECT_TRUE(platform::MessageQueue::current().pumpPending());
}

} // namespace
