// The DPI page's model against the emulated mouse on its cable: every edit reaches the mouse's
// slot record and is read back from it.
#include "pages/models/mouse_dpi_model.h"

#include "device/model/mouse_model.h"
#include "devsim/faults.h"
#include "devsim/mouse.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using devsim::KeyboardLink;
using protocol::Status;
namespace record = protocol::mouse_record;

namespace {

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::size_t stageAt(int stage)
{
    return record::kDpiStages + std::size_t(stage) * record::kDpiStageSize;
}

class MouseDpiModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mouse.plug(KeyboardLink::Cable);
        device.setDataRoot(dir.path());
        device.setFactoryFolder(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData");
        device.setProfileBaseName(L"profile1");
        ASSERT_TRUE(device.channel().openLink(protocol::Link::Wired,
                                              mouse.commandPath(KeyboardLink::Cable)));
        device.channel().setLinkMode(protocol::LinkMode::Wired);
        ASSERT_EQ(device.StartDevice(), Status::Ok);
    }

    protocol::MouseRecord held() const { return mouse.slotRecord(0); }

    testing_support::TempDir dir;
    devsim::Mouse mouse;
    model::MouseModel device;
    pages::MouseDpiModel dpi{device};
};

} // namespace

TEST(TypedDpi, DigitsOnlyAndEmptyIsZero)
{
    EXPECT_EQ(pages::parseTypedDpi(L""), 0);
    EXPECT_EQ(pages::parseTypedDpi(L"  "), 0);
    EXPECT_EQ(pages::parseTypedDpi(L" 1600 "), 1600);
    EXPECT_EQ(pages::parseTypedDpi(L"99999999999999999999"), 1'000'000) << "saturates";
    // Text that is not a number is refused, never sent as 0 DPI.
    EXPECT_EQ(pages::parseTypedDpi(L"16OO"), std::nullopt);
    EXPECT_EQ(pages::parseTypedDpi(L"-400"), std::nullopt);
    EXPECT_EQ(pages::parseTypedDpi(L"1e3"), std::nullopt);
}

TEST_F(MouseDpiModelTest, SliderAndTypedValuesSnapToTheSensorAndReachTheRecord)
{
    // The emulated sensor: base 50, step 50, 519 slider steps (up to 26000 DPI).
    ASSERT_TRUE(dpi.setSlider(0, 31));
    ASSERT_TRUE(dpi.setTyped(1, L"1234"));
    ASSERT_TRUE(dpi.setTyped(2, L"99999"));
    ASSERT_TRUE(dpi.setTyped(3, L""));
    EXPECT_FALSE(dpi.setTyped(4, L"fast")) << "refused, the stage keeps its DPI";
    const pages::DpiCommit done = dpi.commit();
    EXPECT_TRUE(done.result.isComplete());
    EXPECT_TRUE(done.heldAsWritten);

    const auto record = held();
    EXPECT_EQ(get16(record, stageAt(0) + 2), 1600);
    EXPECT_EQ(get16(record, stageAt(0) + 4), 1600) << "linked axes move together";
    EXPECT_EQ(get16(record, stageAt(1) + 2), 1200);
    EXPECT_EQ(get16(record, stageAt(2) + 2), 26000) << "clamped to the slider's maximum";
    EXPECT_EQ(get16(record, stageAt(3) + 2), 50) << "empty counts as the base";
    EXPECT_EQ(get16(record, stageAt(4) + 2), 6400);
    EXPECT_EQ(dpi.stage(1).slider, 23);
    EXPECT_EQ(dpi.stage(1).dpi, 1200);
}

TEST_F(MouseDpiModelTest, CurrentEnabledColourAndReportRateAreReadBackFromTheMouse)
{
    ASSERT_TRUE(dpi.selectCurrent(3));
    ASSERT_TRUE(dpi.setColour(3, 0x12, 0x34, 0x56));
    ASSERT_TRUE(dpi.setReportRate(1));
    ASSERT_TRUE(dpi.setEnabled(4, false));
    ASSERT_TRUE(dpi.commit().heldAsWritten);

    const auto record = held();
    EXPECT_EQ(record[record::kActiveDpiStage], 3);
    EXPECT_EQ(record[record::kReportStage], 1);
    EXPECT_EQ(record[stageAt(3) + 6], 0x12);
    EXPECT_EQ(record[stageAt(3) + 8], 0x56);
    EXPECT_EQ(record[stageAt(4)], 0);
    EXPECT_EQ(dpi.reportRateOption(), 1);

    // The device's own change of stage (its DPI button) shows after the next state read.
    const std::uint8_t stageTwo = 2;
    mouse.setArea(devsim::Area::Settings, record::kActiveDpiStage, {&stageTwo, 1});
    ASSERT_EQ(device.ReadDeviceState(), Status::Ok);
    EXPECT_EQ(dpi.currentStage(), 2);
    EXPECT_TRUE(dpi.stage(2).current);
}

TEST_F(MouseDpiModelTest, StagesStayUsableWhenDisabled)
{
    ASSERT_TRUE(dpi.selectCurrent(1));
    // Disabling the current stage hands "current" to the next enabled one.
    ASSERT_TRUE(dpi.setEnabled(1, false));
    EXPECT_EQ(dpi.currentStage(), 2);
    EXPECT_FALSE(dpi.selectCurrent(1)) << "a disabled stage cannot be current";
    for (const int stage : {0, 3, 4})
        ASSERT_TRUE(dpi.setEnabled(stage, false));
    EXPECT_FALSE(dpi.setEnabled(2, false)) << "one stage must stay for the DPI button";
    EXPECT_TRUE(dpi.stage(2).enabled);
    EXPECT_FALSE(dpi.setEnabled(5, true));
    EXPECT_FALSE(dpi.setReportRate(4));
    ASSERT_TRUE(dpi.commit().heldAsWritten);
    EXPECT_EQ(held()[record::kActiveDpiStage], 2);
}

TEST_F(MouseDpiModelTest, ARefusedWriteIsReportedAndKeptInTheProfile)
{
    ASSERT_TRUE(dpi.setTyped(0, L"3000"));
    mouse.injectFault(devsim::Fault::StatusFF);
    const pages::DpiCommit done = dpi.commit();
    EXPECT_TRUE(done.result.saved);
    EXPECT_FALSE(done.result.isWritten());
    EXPECT_TRUE(pages::changeMessage(done.result).has_value());
    EXPECT_EQ(dpi.stage(0).dpi, 3000);
}
