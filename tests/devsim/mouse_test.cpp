#include "device/hid/hid_device.h"
#include "device/mouse_key_positions.h"
#include "device/protocol/device_protocol.h"
#include "device/protocol/mouse_sequences.h"
#include "devsim/control.h"
#include "devsim/keyboard.h"
#include "devsim/mouse.h"
#include "devsim/state_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <set>

using devsim::Area;
using devsim::Fault;
using devsim::KeyboardLink;
using protocol::Status;
namespace record = protocol::mouse_record;

namespace {

class MouseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mouse.plug(KeyboardLink::Cable);
        mouse.plug(KeyboardLink::Receiver);
        open(KeyboardLink::Cable);
    }

    void open(KeyboardLink link)
    {
        const bool receiver = link == KeyboardLink::Receiver;
        channel.closeLinks();
        ASSERT_TRUE(channel.openLink(receiver ? protocol::Link::Receiver : protocol::Link::Wired,
                                     mouse.commandPath(link)));
        channel.setLinkMode(receiver ? protocol::LinkMode::Receiver : protocol::LinkMode::Wired);
    }

    devsim::Mouse mouse;
    CDeviceProtocol channel;
};

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

} // namespace

TEST_F(MouseTest, IsFoundByItsOwnProductIdsOnBothLinks)
{
    EXPECT_NE(mouse.commandPath(KeyboardLink::Cable).find(L"221c"), std::wstring::npos)
        << std::string(mouse.commandPath(KeyboardLink::Cable).begin(),
                       mouse.commandPath(KeyboardLink::Cable).end());
    EXPECT_NE(mouse.commandPath(KeyboardLink::Receiver).find(L"221d"), std::wstring::npos);
    EXPECT_NE(mouse.commandPath(KeyboardLink::Cable).find(L"col04"), std::wstring::npos);
}

TEST_F(MouseTest, FullReadGivesItsInformationAndEveryButtonOnce)
{
    protocol::InfoBlock info{};
    protocol::KeyBlock layout{};
    const auto result = protocol::mouseFullRead(channel, info, layout);
    ASSERT_EQ(result.outcome, protocol::FullReadOutcome::Completed);
    ASSERT_EQ(result.firstFailure, Status::Ok);
    EXPECT_EQ(info[protocol::kInfoKeySlotCount], devsim::kMouseKeySlotCount);
    EXPECT_EQ(get16(info, protocol::kInfoSensorId), devsim::kMouseSensorId);
    EXPECT_EQ(info[protocol::kInfoDpiStep], 50);
    EXPECT_EQ(get16(info, protocol::kInfoDpiMaximum), 519);
    EXPECT_EQ(get16(info, protocol::kInfoDpiBase), 50);
    EXPECT_EQ(channel.blockSize(), 36);
    // Begin, ReadInfo, one layout frame, End: the mouse has no LED map to read.
    EXPECT_EQ(mouse.commandsReceived(), (std::vector<std::uint8_t>{1, 3, 7, 2}));

    std::set<std::size_t> found;
    for (std::size_t slot = 0; slot < devsim::kMouseKeySlotCount; ++slot) {
        const device::KeyCode code{layout[3 * slot], layout[3 * slot + 1], layout[3 * slot + 2]};
        for (std::size_t p = 0; p < device::kMouseKeyPositionCount; ++p) {
            if (device::kMouseFactoryKeyCodes[p] == code)
                found.insert(p);
        }
    }
    EXPECT_EQ(found.size(), device::kMouseKeyPositionCount);
    EXPECT_EQ(layout[36], 0);
}

TEST_F(MouseTest, FullReadStopsAtTheFirstFailureAndKeepsTheOldLayout)
{
    protocol::InfoBlock info{};
    protocol::KeyBlock layout{};
    layout.fill(0x77);
    mouse.injectFaults({Fault::None, Fault::None, Fault::StatusFF});
    const auto result = protocol::mouseFullRead(channel, info, layout);
    EXPECT_EQ(result.firstFailure, Status::DeviceErrorFF);
    EXPECT_EQ(layout[0], 0x77);
    EXPECT_EQ(mouse.commandsReceived(), (std::vector<std::uint8_t>{1, 3, 7}));
}

TEST_F(MouseTest, SlotRecordWriteTouchesSixtySixBytesAndReadsBackSeventyOne)
{
    mouse.setArea(Area::Settings, 0, std::array<std::uint8_t, 1>{2});
    const auto before = mouse.slotRecord(2);
    ASSERT_EQ(before[66], 0x02) << "the mouse's own bytes";
    protocol::MouseRecord written{};
    for (std::size_t i = 0; i < written.size(); ++i)
        written[i] = static_cast<std::uint8_t>(0xA0 + i);
    ASSERT_EQ(protocol::writeMouseRecord(channel, 2, written), Status::Ok);
    const auto after = mouse.slotRecord(2);
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 66, after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 66, before.end(), after.begin() + 66));
    EXPECT_EQ(mouse.slotRecord(1), devsim::Mouse().slotRecord(1)) << "neighbours untouched";

    protocol::MouseRecord read{};
    ASSERT_EQ(protocol::readMouseRecord(channel, read), Status::Ok);
    EXPECT_EQ(read[record::kActiveSlot], 2);
    EXPECT_EQ(read[record::kEffect], written[record::kEffect]);
    EXPECT_EQ(read[66], 0x02);
    // Begin, WriteSettings (two chunks), End; then the active slot and the record (two).
    EXPECT_EQ(mouse.commandsReceived(), (std::vector<std::uint8_t>{1, 6, 6, 2, 5, 5, 5}));
}

TEST_F(MouseTest, FactoryRecordsCarryFiveDpiStages)
{
    const auto slot = mouse.slotRecord(0);
    EXPECT_EQ(slot[record::kActiveDpiStage], 1);
    EXPECT_EQ(slot[record::kReportStage], 3);
    const std::size_t third = record::kDpiStages + 2 * record::kDpiStageSize;
    EXPECT_EQ(slot[third], 1);
    EXPECT_EQ(get16(slot, third + 2), 1600);
    EXPECT_EQ(get16(slot, third + 4), 1600);
    EXPECT_EQ(slot[third + 8], 255);
}

TEST_F(MouseTest, SleepingMouseBehindItsReceiverGetsOnlyTheLinkCheck)
{
    open(KeyboardLink::Receiver);
    mouse.setAsleep(true);
    mouse.clearReceived();
    protocol::InfoBlock info{};
    protocol::KeyBlock layout{};
    EXPECT_EQ(protocol::mouseFullRead(channel, info, layout).firstFailure, Status::ReceiverAsleep);
    const protocol::MouseRecord written{};
    EXPECT_EQ(protocol::writeMouseRecord(channel, 0, written), Status::ReceiverAsleep);
    std::vector<std::uint8_t> keyMap(36, 0);
    EXPECT_EQ(protocol::writeMouseKeyMap(channel, info, keyMap), Status::ReceiverAsleep);
    EXPECT_EQ(mouse.commandsReceived(), (std::vector<std::uint8_t>{0xAA, 0xAA, 0xAA}));
    EXPECT_EQ(mouse.slotRecord(0), devsim::Mouse().slotRecord(0));
}

TEST_F(MouseTest, KeyMapWriteNeedsAFreshInformationBlock)
{
    protocol::InfoBlock info{};
    std::vector<std::uint8_t> keyMap(36, 0x11);
    mouse.injectFault(Fault::Lost);
    EXPECT_EQ(protocol::writeMouseKeyMap(channel, info, keyMap), Status::NoReply);
    EXPECT_EQ(mouse.commandsReceived(), (std::vector<std::uint8_t>{3}));
    EXPECT_EQ(protocol::writeMouseKeyMap(channel, info, keyMap), Status::Ok);
    EXPECT_EQ(mouse.area(Area::KeyMap)[35], 0x11);
    EXPECT_EQ(mouse.area(Area::KeyMap)[36], 0);
}

TEST(MouseState, RoundTripsAndRefusesTheKeyboardsFile)
{
    testing_support::TempDir dir;
    devsim::Mouse mouse;
    mouse.setArea(Area::Settings, 128 + 12, std::array<std::uint8_t, 1>{4});
    ASSERT_TRUE(devsim::saveState(mouse.model(), dir / "m.state", mouse.memory()));
    const auto loaded = devsim::loadState(mouse.model(), dir / "m.state");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, mouse.memory());

    ASSERT_TRUE(devsim::saveKeyboardState(dir / "k.state", devsim::Keyboard().memory()));
    const auto wrong = devsim::loadState(mouse.model(), dir / "k.state");
    ASSERT_FALSE(wrong);
    EXPECT_NE(wrong.error().message.find("not a mouse state file"), std::string::npos);
}

TEST(MouseControl, ALineStartingWithTheDevicesNameIsForThatDevice)
{
    devsim::Keyboard keyboard;
    devsim::Mouse mouse;
    keyboard.plug(KeyboardLink::Cable);
    devsim::Control control({{&keyboard, {}}, {&mouse, {}}});
    EXPECT_EQ(control.run("mouse plug cable"), "plugged cable\n");
    EXPECT_TRUE(mouse.isPlugged(KeyboardLink::Cable));
    EXPECT_EQ(control.run("unplug cable"), "unplugged cable\n");
    EXPECT_FALSE(keyboard.isPlugged(KeyboardLink::Cable)) << "the first device by default";
    EXPECT_TRUE(mouse.isPlugged(KeyboardLink::Cable));
    EXPECT_EQ(control.run("mouse").rfind("error:", 0), 0u);
    EXPECT_NE(control.run("mouse dump info").find("1c 22"), std::string::npos);
}
