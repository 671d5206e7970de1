// The profile panel's switch and the keyboard's system settings against the emulated
// keyboard: what each reaches in the keyboard's memory and in the profile file.
#include "pages/models/profile_device_steps.h"
#include "pages/models/profile_panel_model.h"
#include "pages/models/system_settings_model.h"

#include "device/model/keyboard_model.h"
#include "devsim/keyboard.h"
#include "pages/models/keyboard_with_panel.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using devsim::Area;
using devsim::KeyboardLink;
using pages::SystemField;

namespace {

// Byte offsets of the settings record on the device.
constexpr std::size_t kBrightnessByte = 2;
constexpr std::size_t kWFlagByte = 19;
constexpr std::size_t kSixKeyByte = 20;
constexpr std::size_t kWinLockByte = 21;
constexpr std::size_t kPollingRateByte = 22;

class DevicePagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(
            testing_support::openKeyboardWithPanel(temp.path(), keyboard, device, panel));
        ASSERT_EQ(keyboard.ReadDevice(), protocol::Status::Ok);
        ASSERT_EQ(keyboard.LoadProfile(), model::ProfileResult::Ok);
    }

    std::uint8_t settingsByte(std::size_t offset)
    {
        const devsim::KeyboardMemory memory = device.memory();
        return memory.area(Area::Settings)[offset];
    }

    // The switch command of the panel, as the page runs it.
    pages::DeviceStepsResult switchTo(int index)
    {
        const pages::PanelOutcome outcome = panel->select(index);
        EXPECT_TRUE(outcome.reloadDevice);
        return pages::loadAndWriteProfile(keyboard, *panel, pages::StaleMacroKeys::Drop, pending);
    }

    testing_support::TempDir temp;
    devsim::Keyboard device;
    model::KeyboardModel keyboard;
    std::unique_ptr<pages::ProfilePanelModel> panel;
    pages::PendingChanges pending;
};

} // namespace

TEST_F(DevicePagesTest, SelectingAProfileWritesItsLightingToTheKeyboard)
{
    ASSERT_FALSE(panel->add().message);
    ASSERT_EQ(panel->items().size(), 2u);

    // Give the new profile its own brightness, through the device as the pages do.
    pages::DeviceStepsResult result = switchTo(1);
    EXPECT_FALSE(result.message);
    EXPECT_TRUE(result.keyMapWritten);
    EXPECT_EQ(keyboard.profileBaseName(), panel->currentProfileId());
    profile::LightInfo light = keyboard.profile().LoadLightInfo();
    const std::uint8_t first = light.brightness;
    light.brightness = first == 1 ? 2 : 1;
    keyboard.profile().StoreLightInfo(light);
    ASSERT_EQ(keyboard.CommitProfile(), model::ProfileResult::Ok);

    (void)switchTo(0);
    EXPECT_EQ(settingsByte(kBrightnessByte), first);
    (void)switchTo(1);
    EXPECT_EQ(settingsByte(kBrightnessByte), light.brightness);
    // The list file follows the displayed selection.
    pages::ProfilePanelModel reread(detect::DeviceKind::Keyboard, keyboard.dataFolder(),
                                    keyboard.factoryProfilePath());
    ASSERT_FALSE(reread.initialize());
    EXPECT_EQ(reread.selectedIndex(), 1);
}

TEST_F(DevicePagesTest, FlagsAndPollingRateReachTheKeyboardAndTheProfile)
{
    EXPECT_TRUE(pages::applySystemChange(keyboard, SystemField::WinLock, 1).result.isComplete());
    EXPECT_EQ(settingsByte(kWinLockByte), 1);
    EXPECT_TRUE(pages::applySystemChange(keyboard, SystemField::WFlag, 5).result.isComplete());
    EXPECT_EQ(settingsByte(kWFlagByte), 1);
    EXPECT_TRUE(pages::applySystemChange(keyboard, SystemField::SixKey, 1).result.isComplete());
    EXPECT_EQ(settingsByte(kSixKeyByte), 1);
    EXPECT_TRUE(
        pages::applySystemChange(keyboard, SystemField::PollingRate, 2).result.isComplete());
    EXPECT_EQ(settingsByte(kPollingRateByte), 2);
    EXPECT_TRUE(pages::applySystemChange(keyboard, SystemField::WinLock, 0).result.isComplete());
    EXPECT_EQ(settingsByte(kWinLockByte), 0);

    // Saved: a fresh load of the profile file has them.
    ASSERT_EQ(keyboard.LoadProfile(), model::ProfileResult::Ok);
    const profile::KeyboardSystemStages stored = keyboard.profile().LoadSystemStages();
    EXPECT_EQ(stored.winFlag, 0);
    EXPECT_EQ(stored.wFlag, 1);
    EXPECT_EQ(stored.key6Flag, 1);
    EXPECT_EQ(stored.pollingRate, 2);
}

TEST_F(DevicePagesTest, RepeatSettingsStayInTheProfileOnly)
{
    const devsim::KeyboardMemory before = device.memory();
    const auto settingsBefore = before.area(Area::Settings);
    const std::vector<std::uint8_t> snapshot(settingsBefore.begin(), settingsBefore.end());
    EXPECT_TRUE(
        pages::applySystemChange(keyboard, SystemField::RepeatDelay, 3).result.isComplete());
    EXPECT_TRUE(
        pages::applySystemChange(keyboard, SystemField::RepeatRate, 17).result.isComplete());
    const devsim::KeyboardMemory after = device.memory();
    const auto settingsAfter = after.area(Area::Settings);
    EXPECT_EQ(std::vector<std::uint8_t>(settingsAfter.begin(), settingsAfter.end()), snapshot);

    ASSERT_EQ(keyboard.LoadProfile(), model::ProfileResult::Ok);
    EXPECT_EQ(keyboard.profile().LoadSystemStages().repeatDelay, 3);
    EXPECT_EQ(keyboard.profile().LoadSystemStages().repeat, 17);
}

TEST(SystemSettingsModel, OutOfRangeOptionsShowTheFirstOption)
{
    EXPECT_EQ(pages::repeatDelayLabel(L"Delay: ", 7), L"Delay: 250ms");
    EXPECT_EQ(pages::repeatDelayLabel(L"Delay: ", 3), L"Delay: 1000ms");
    EXPECT_EQ(pages::repeatDelayLabel(L"", -1), L"250ms");
    profile::KeyboardSystemStages stages;
    stages = pages::withChange(stages, SystemField::PollingRate, -1);
    EXPECT_EQ(stages.pollingRate, 0);
    stages = pages::withChange(stages, SystemField::PollingRate, 4);
    EXPECT_EQ(stages.pollingRate, 0);
    stages = pages::withChange(stages, SystemField::RepeatDelay, 2);
    EXPECT_EQ(stages.repeatDelay, 2);
    EXPECT_FALSE(pages::writesDevice(SystemField::RepeatRate));
    EXPECT_TRUE(pages::writesDevice(SystemField::WinLock));
}
