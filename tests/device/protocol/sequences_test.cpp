#include "channel_fixture.h"
#include "device/protocol/commands.h"
#include "device/protocol/sequences.h"
#include "platform/debug_output.h"

#include <algorithm>
#include <future>
#include <numeric>
#include <optional>

using devsim::Area;
using devsim::Fault;
using protocol::Status;
namespace command = protocol::command;

namespace {

protocol::InfoBlock infoWith(std::uint8_t keySlots, std::uint8_t macroUnits)
{
    protocol::InfoBlock info{};
    info[protocol::kInfoKeySlotCount] = keySlots;
    info[protocol::kInfoMacroUnits] = macroUnits;
    info[33] = 0x5A; // bytes nobody interprets still come back whole
    return info;
}

std::vector<std::uint8_t> repeat(std::uint8_t value, std::size_t count)
{
    return std::vector<std::uint8_t>(count, value);
}

protocol::Macro macroOf(std::size_t events)
{
    return protocol::Macro{std::vector<protocol::MacroEvent>(events, {300, 1, true, 0x04})};
}

} // namespace

using SequenceTest = ChannelTest;

TEST_F(SequenceTest, FullReadMovesLayoutAndLedMapSizedByTheKeySlots)
{
    device.setArea(Area::Info, 0, infoWith(104, 32));
    std::vector<std::uint8_t> layout(312);
    std::iota(layout.begin(), layout.end(), std::uint8_t{0});
    device.setArea(Area::KeyLayout, 0, layout);
    device.setArea(Area::LedMap, 0, repeat(0x11, 104));
    device.setArea(Area::LedMap, 104, repeat(0x99, 8)); // past the map: not read

    protocol::DeviceBlocks blocks;
    const auto result = protocol::fullRead(channel, blocks);
    EXPECT_EQ(result.outcome, protocol::FullReadOutcome::Completed);
    EXPECT_EQ(result.firstFailure, Status::Ok);
    EXPECT_EQ(channel.blockSize(), 312);
    EXPECT_EQ(blocks.info[33], 0x5A);
    EXPECT_TRUE(std::equal(layout.begin(), layout.end(), blocks.keyLayout.begin()));
    EXPECT_EQ(blocks.keyLayout[312], 0);
    EXPECT_EQ(blocks.ledMap[103], 0x11);
    EXPECT_EQ(blocks.ledMap[104], 0);
    const std::vector<std::uint8_t> expected{1, 3, 7, 7, 7, 7, 7, 7, 0x1B, 0x1B, 2};
    EXPECT_EQ(device.commandsReceived(), expected);
}

TEST_F(SequenceTest, FullReadStopsWhenTheKeySlotsExceedABlockAndKeepsTheLayout)
{
    device.setArea(Area::Info, 0, infoWith(171, 32));
    protocol::DeviceBlocks blocks;
    blocks.keyLayout.fill(0x77);
    const auto result = protocol::fullRead(channel, blocks);
    EXPECT_EQ(result.outcome, protocol::FullReadOutcome::BlockSizeRefused);
    EXPECT_EQ(channel.blockSize(), 512);
    EXPECT_EQ(blocks.keyLayout[0], 0x77);
    EXPECT_EQ(device.commandsReceived(), (std::vector<std::uint8_t>{1, 3}));
}

TEST_F(SequenceTest, FullReadOnAClosedChannelSendsNothing)
{
    channel.closeLinks();
    protocol::DeviceBlocks blocks;
    EXPECT_EQ(protocol::fullRead(channel, blocks).outcome, protocol::FullReadOutcome::NotOpen);
    EXPECT_TRUE(device.received().empty());
}

TEST_F(SequenceTest, KeyMapWriteSendsTheBlockBetweenBeginAndEnd)
{
    device.setArea(Area::Info, 0, infoWith(104, 32));
    device.setArea(Area::KeyMap, 0, repeat(0, devsim::kBlockSize));
    ASSERT_TRUE(channel.setBlockSize(312));
    protocol::InfoBlock info{};
    const auto keyMap = repeat(0x21, 312);
    EXPECT_EQ(protocol::writeKeyMapBlock(channel, info, keyMap), Status::Ok);
    EXPECT_EQ(info[protocol::kInfoKeySlotCount], 104);
    const std::vector<std::uint8_t> expected{3, 1, 9, 9, 9, 9, 9, 9, 2};
    EXPECT_EQ(device.commandsReceived(), expected);
    const auto memory = device.area(Area::KeyMap);
    EXPECT_EQ(memory[311], 0x21);
    EXPECT_EQ(memory[312], 0);
}

TEST_F(SequenceTest, FailedKeyMapWriteIsReportedButStillClosedWithEnd)
{
    device.setArea(Area::Info, 0, infoWith(10, 32));
    ASSERT_TRUE(channel.setBlockSize(30));
    protocol::InfoBlock info{};
    device.injectFaults({Fault::None, Fault::None, Fault::StatusFF});
    EXPECT_EQ(protocol::writeKeyMapBlock(channel, info, repeat(1, 30)), Status::DeviceErrorFF);
    EXPECT_EQ(device.commandsReceived(), (std::vector<std::uint8_t>{3, 1, 9, 2}));
}

TEST_F(SequenceTest, KeyMapWriteRefusesAFreshKeySlotCountBeyondABlock)
{
    device.setArea(Area::Info, 0, infoWith(200, 32));
    protocol::InfoBlock info{};
    EXPECT_EQ(protocol::writeKeyMapBlock(channel, info, repeat(1, 600)), Status::NoReply);
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{3});
}

TEST_F(SequenceTest, InformationBlockAnsweredByAForeignReplyWritesNothing)
{
    // The foreign replies carry no key slot count of ours: a map sized from them would be
    // empty or wrong, and reported as written.
    device.setArea(Area::Info, 0, infoWith(104, 32));
    const auto before = device.area(Area::KeyMap);
    protocol::InfoBlock info = infoWith(104, 32);
    device.injectFaults({Fault::ForeignOffset});
    EXPECT_EQ(protocol::writeKeyMapBlock(channel, info, repeat(0x21, 312)), Status::NoReply);
    device.injectFaults({Fault::ForeignOffset});
    const std::vector<protocol::Macro> macros{macroOf(3)};
    EXPECT_EQ(protocol::writeMacroBlock(channel, info, macros).status, Status::NoReply);
    EXPECT_EQ(device.commandsReceived(), (std::vector<std::uint8_t>{3, 3}));
    EXPECT_EQ(device.area(Area::KeyMap), before);
    EXPECT_EQ(info, infoWith(104, 32)) << "the last good block stays";

    // And the full read keeps the blocks of the last good read, closing with End.
    device.clearReceived();
    protocol::DeviceBlocks blocks;
    blocks.keyLayout.fill(0x77);
    device.injectFaults({Fault::None, Fault::ForeignOffset});
    const auto result = protocol::fullRead(channel, blocks);
    EXPECT_EQ(result.firstFailure, Status::NoReply);
    EXPECT_EQ(blocks.keyLayout[0], 0x77);
    EXPECT_EQ(device.commandsReceived(), (std::vector<std::uint8_t>{1, 3, 2}));
}

TEST_F(SequenceTest, KeyMapOfNoKeySlotsSaysSoInsteadOfSucceeding)
{
    device.setArea(Area::Info, 0, infoWith(0, 32));
    protocol::InfoBlock info{};
    EXPECT_EQ(protocol::writeKeyMapBlock(channel, info, repeat(1, 30)), Status::NothingToWrite);
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{3});
}

TEST_F(SequenceTest, MacroBlockIsWrittenWhenItFits)
{
    device.setArea(Area::Info, 0, infoWith(104, 1));
    protocol::InfoBlock info{};
    const std::vector<protocol::Macro> macros{macroOf(3), macroOf(5)};
    EXPECT_TRUE(protocol::writeMacroBlock(channel, info, macros).isWritten());
    EXPECT_EQ(device.commandsReceived(), (std::vector<std::uint8_t>{3, 1, 0x15, 0x15, 2}));
    const auto memory = device.area(Area::Macros);
    EXPECT_EQ(protocol::parseMacroBlock(memory), macros);
}

TEST_F(SequenceTest, FailedMacroBlockWriteIsReportedButStillClosedWithEnd)
{
    device.setArea(Area::Info, 0, infoWith(104, 1));
    protocol::InfoBlock info{};
    const std::vector<protocol::Macro> macros{macroOf(3)};
    // ReadInfo, Begin, then the block's one chunk fails.
    device.injectFaults({Fault::None, Fault::None, Fault::StatusFE});
    const protocol::MacroWrite failed = protocol::writeMacroBlock(channel, info, macros);
    EXPECT_EQ(failed.status, Status::DeviceErrorFE);
    EXPECT_FALSE(failed.isWritten());
    EXPECT_EQ(failed.overflow, 0);
    EXPECT_EQ(device.commandsReceived(), (std::vector<std::uint8_t>{3, 1, 0x15, 2}));

    device.clearReceived();
    device.injectFaults({Fault::None, Fault::StatusFF});
    EXPECT_EQ(protocol::writeMacroBlock(channel, info, macros).status, Status::DeviceErrorFF);
    EXPECT_EQ(device.commandsReceived().back(), 2);
}

TEST_F(SequenceTest, MacroBlockBeyondTheMemoryGivesTheOverflowCountAndSendsNothing)
{
    // 16 + 6 + 4 × 30 = 142 bytes against 128: (142 − 128) / 4 + 1 = 4.
    device.setArea(Area::Info, 0, infoWith(104, 1));
    protocol::InfoBlock info{};
    const std::vector<protocol::Macro> macros{macroOf(30)};
    EXPECT_EQ(protocol::writeMacroBlock(channel, info, macros).overflow, 4);
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{3});

    // A count so large that a 16-bit total would wrap back under the capacity.
    device.clearReceived();
    const std::vector<protocol::Macro> huge{macroOf(16384)};
    EXPECT_GT(protocol::writeMacroBlock(channel, info, huge).overflow, 0);
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{3});

    device.clearReceived();
    EXPECT_TRUE(protocol::writeMacroBlock(channel, info, {}).isWritten());
    EXPECT_TRUE(device.received().empty());
}

TEST_F(SequenceTest, SlotRecordOneLandsAtTwentyFiveOverlappingRecordTwo)
{
    protocol::SlotRecord record{};
    std::iota(record.begin(), record.end(), std::uint8_t{0x40});
    EXPECT_EQ(protocol::writeSlotRecord(channel, 1, record), Status::Ok);
    EXPECT_EQ(device.commandsReceived(), (std::vector<std::uint8_t>{1, 6, 2}));
    const auto frame = device.received()[1];
    EXPECT_EQ(frame[4], 26);
    EXPECT_EQ(frame[5], 25);
    const auto memory = device.area(Area::Settings);
    EXPECT_EQ(memory[25], 0x40);
    EXPECT_EQ(memory[50], 0x40 + 25); // byte 0 of record 2's area

    device.injectFaults({Fault::None, Fault::StatusFE});
    EXPECT_EQ(protocol::writeSlotRecord(channel, 0, record), Status::DeviceErrorFE);
}

TEST_F(SequenceTest, SlotRecordReadFollowsTheActiveIndex)
{
    device.setArea(Area::Settings, 0, std::array<std::uint8_t, 1>{2});
    device.setArea(Area::Settings, 50, repeat(0x33, 26));
    protocol::SlotRecord record{};
    ASSERT_EQ(protocol::readSlotRecord(channel, record), Status::Ok);
    EXPECT_EQ(record[0], 2);
    EXPECT_EQ(record[25], 0x33);

    // A failed index read must not fetch slot 0's record in its place.
    record.fill(0x55);
    device.injectFaults({Fault::StatusFF});
    EXPECT_EQ(protocol::readSlotRecord(channel, record), Status::DeviceErrorFF);
    EXPECT_EQ(record[1], 0x55);
}

TEST_F(SequenceTest, PowerReadMarksWhichLinkAnswered)
{
    device.setArea(Area::Power, 0, std::array<std::uint8_t, 6>{90, 1, 7, 7, 3, 9});
    auto power = protocol::readPower(channel, protocol::PowerPause::No);
    ASSERT_TRUE(power);
    EXPECT_EQ(*power, (protocol::PowerBlock{90, 1, 7, 0, 3, 9}));
    EXPECT_FALSE(protocol::readPower(channel, protocol::PowerPause::Yes));

    openOn(protocol::LinkMode::Receiver);
    power = protocol::readPower(channel, protocol::PowerPause::No);
    ASSERT_TRUE(power);
    EXPECT_EQ((*power)[3], 1);
    device.setAsleep(true);
    device.clearReceived();
    EXPECT_FALSE(protocol::readPower(channel, protocol::PowerPause::No));
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{0xAA});
}

TEST_F(SequenceTest, ReceiverLinkCheckGivesUpAfterTwentySixTries)
{
    openOn(protocol::LinkMode::Receiver);
    device.setAsleep(true);
    platform::clearDebugLines();
    EXPECT_FALSE(protocol::waitForReceiverLink(channel));
    EXPECT_EQ(device.received().size(), 26u);
    const auto lines = platform::debugLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"获取2.4G模式失败"), 25);
    EXPECT_EQ(lines.back(), L"获取2");

    device.setAsleep(false);
    device.clearReceived();
    EXPECT_TRUE(protocol::waitForReceiverLink(channel));
    EXPECT_EQ(device.received().size(), 1u);
}

// Two channels on one device stand for two programs: each channel holds the device as a
// program of its own would.
class SharedDeviceTest : public SequenceTest {
protected:
    void SetUp() override
    {
        SequenceTest::SetUp();
        ASSERT_TRUE(
            other.openLink(protocol::Link::Wired, device.commandPath(devsim::KeyboardLink::Cable)));
        other.setLinkMode(protocol::LinkMode::Wired);
    }

    CDeviceProtocol other;
};

TEST_F(SharedDeviceTest, SequencesOfTwoOwnersNeverInterleave)
{
    device.setArea(Area::Info, 0, infoWith(104, 32));
    protocol::SlotRecord record{};
    record.fill(0x01);
    auto slots = std::async(std::launch::async, [&] {
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(protocol::writeSlotRecord(channel, 1, record), Status::Ok);
    });
    auto keyMaps = std::async(std::launch::async, [&] {
        protocol::InfoBlock info{};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(protocol::writeKeyMapBlock(other, info, repeat(0x21, 312)), Status::Ok);
    });
    slots.get();
    keyMaps.get();

    // Each Begin … End carries one owner's writes only, and a key map's ReadInfo leads
    // straight into its own Begin.
    const auto commands = device.commandsReceived();
    std::optional<std::uint8_t> writing;
    bool open = false;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        switch (commands[i]) {
        case command::kReadInfo:
            EXPECT_FALSE(open);
            ASSERT_LT(i + 1, commands.size());
            EXPECT_EQ(commands[i + 1], command::kBegin);
            break;
        case command::kBegin:
            EXPECT_FALSE(open);
            open = true;
            writing.reset();
            break;
        case command::kEnd:
            EXPECT_TRUE(open);
            open = false;
            break;
        default:
            EXPECT_TRUE(open);
            if (writing) {
                EXPECT_EQ(commands[i], *writing);
            }
            writing = commands[i];
        }
    }
    EXPECT_EQ(std::count(commands.begin(), commands.end(), command::kEnd), 10);
}

TEST_F(SharedDeviceTest, AHeldDeviceRefusesWithTheHolderAndDropsLiveFrames)
{
    ASSERT_EQ(channel.holdDevice(), Status::Ok);
    EXPECT_EQ(other.holdDevice(std::chrono::milliseconds(0)), Status::DeviceHeld);
    EXPECT_NE(other.refusal().find("(pid "), std::string::npos) << other.refusal();
    const auto frame = repeat(0x40, 112);
    EXPECT_EQ(other.LiveColours(frame, 0), Status::NoReply);
    EXPECT_TRUE(device.received().empty()) << "nothing reaches a device another one holds";
    // The holder's own commands go on; the hold is re-entrant.
    EXPECT_EQ(channel.Begin(), Status::Ok);
    EXPECT_EQ(channel.End(), Status::Ok);
    channel.releaseDevice();
    EXPECT_EQ(other.LiveColours(frame, 0), Status::Ok);
}
