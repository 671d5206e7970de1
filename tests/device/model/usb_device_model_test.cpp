#include "device/model/usb_device_model.h"

#include "device/model/keyboard_model.h"
#include "devsim/keyboard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using protocol::Status;

TEST(UsbDeviceModel, ADeviceOfTheBaseKindHasNothingAndKeepsItsState)
{
    model::UsbDeviceModel device;
    EXPECT_EQ(device.capabilities(), model::Capabilities{});
    EXPECT_TRUE(device.CollectMacros().empty());
    EXPECT_FALSE(device.IsReceiverLinkUp());
    EXPECT_EQ(device.GetFunctionTab(), 1);
    EXPECT_EQ(device.deviceNumber(), -1);
    EXPECT_EQ(device.selectedProfile(), -1);
    EXPECT_EQ(device.GetLightSettings(), profile::LightInfo{});

    device.setLightCount(11);
    device.SetLightColour(10, 0x11223344);
    device.SetLightColour(11, 0x55667788); // outside the list: not stored
    EXPECT_EQ(device.GetLightColour(10), 0x11223344u);
    EXPECT_EQ(device.GetLightColour(11), 0u);
    device.setLightCount(11); // a new count clears every colour
    EXPECT_EQ(device.GetLightColour(10), 0u);

    device.setPaused(true);
    EXPECT_FALSE(device.isPaused()); // only a wireless device pauses
    device.setWireless(true);
    device.setPaused(true);
    EXPECT_TRUE(device.isPaused());
}

TEST(UsbDeviceModel, FadingRingAndPressedLightsOfTheFewLightDevices)
{
    model::UsbDeviceModel device;
    device.setLightCount(11);
    device.setIntensity(0, 255);
    std::vector<int> seen;
    for (int step = 0; step < 12; ++step) {
        device.FadeStep(0, 29);
        seen.push_back(device.intensity(0));
    }
    EXPECT_EQ(seen, (std::vector<int>{210, 165, 120, 85, 60, 50, 40, 30, 25, 20, 15, 14}));
    device.FadeStep(40, 29); // no such light: nothing happens

    auto& levels = device.columnLevels();
    levels.fill(0);
    levels[22] = 9;
    device.RotateRing(1);
    EXPECT_EQ(levels[0], 9);
    device.RotateRing(0);
    EXPECT_EQ(levels[22], 9);
    levels[3] = 1;
    device.MarkPressedLights();
    EXPECT_EQ(device.intensity(3), 255);
    EXPECT_EQ(device.intensity(4), 0);
    device.ClearIntensities();
    EXPECT_EQ(device.intensity(3), 0);
    EXPECT_EQ(levels[22], 0);
}

TEST(UsbDeviceModel, DataFolderAndFactoryProfileFollowTheFolderName)
{
    testing_support::TempDir temp;
    model::KeyboardModel keyboard;
    keyboard.setDataRoot(temp / "SPhalvek2vizudi");
    keyboard.setFactoryFolder(temp / "DefaultData");
    EXPECT_EQ(keyboard.dataFolder(), temp / "SPhalvek2vizudi" / "keyboard");
    EXPECT_TRUE(std::filesystem::is_directory(keyboard.dataFolder()));
    EXPECT_EQ(keyboard.factoryProfilePath(), temp / "DefaultData" / "keyboard.Json");
}

TEST(UsbDeviceModel, LiveFramesOfAFewLightDeviceGoOutByLightIndex)
{
    devsim::Keyboard keyboard;
    keyboard.plug(devsim::KeyboardLink::Cable);
    model::UsbDeviceModel device;
    ASSERT_TRUE(device.channel().openLink(protocol::Link::Wired,
                                          keyboard.commandPath(devsim::KeyboardLink::Cable)));
    device.channel().setLinkMode(protocol::LinkMode::Wired);
    device.setLightCount(11);
    device.SetLightColour(1, model::LightColour{200, 100, 50, 128}.word());
    keyboard.requestArrived().reset();
    device.SendLiveFrame(); // returns before the frame is on its way
    ASSERT_TRUE(keyboard.requestArrived().waitFor(std::chrono::seconds(5)));
    const devsim::KeyboardMemory memory = keyboard.memory();
    const auto frame = memory.area(devsim::Area::LiveFrame);
    EXPECT_EQ(frame[3], 100);
    EXPECT_EQ(frame[4], 50);
    EXPECT_EQ(frame[5], 25);
    device.channel().closeLinks();
}
