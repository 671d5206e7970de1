#include "device/hid/hid_device.h"
#include "device/protocol/device_protocol.h"
#include "device/protocol/sequences.h"
#include "devsim/key_positions.h"
#include "devsim/keyboard.h"
#include "devsim/state_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

using devsim::Area;
using devsim::Fault;
using devsim::KeyboardLink;
using protocol::Status;
using namespace std::chrono_literals;

namespace {

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keyboard.plug(KeyboardLink::Cable);
        keyboard.plug(KeyboardLink::Receiver);
        open(KeyboardLink::Cable);
    }

    void open(KeyboardLink link)
    {
        const bool receiver = link == KeyboardLink::Receiver;
        ASSERT_TRUE(channel.openLink(receiver ? protocol::Link::Receiver : protocol::Link::Wired,
                                     keyboard.commandPath(link)));
        channel.setLinkMode(receiver ? protocol::LinkMode::Receiver : protocol::LinkMode::Wired);
    }

    devsim::Keyboard keyboard;
    CDeviceProtocol channel;
};

} // namespace

TEST(KeyPositions, TableEndsAndSlotOrderIsAFixedPermutation)
{
    const auto& codes = devsim::factoryKeyCodes();
    EXPECT_EQ(codes[0], (devsim::KeyCode{0x20, 0x00, 0x29}));
    EXPECT_EQ(codes[16], (devsim::KeyCode{0xA0, 0x1B, 0x00}));
    EXPECT_EQ(codes[84], (devsim::KeyCode{0x20, 0x02, 0x00}));
    EXPECT_EQ(codes[110], (devsim::KeyCode{0xA0, 0x01, 0x00}));
    EXPECT_EQ(codes[120], (devsim::KeyCode{0xD0, 0xA2, 0x01}));
    EXPECT_EQ(codes[125], (devsim::KeyCode{0x20, 0x80, 0x00}));
    const auto& order = devsim::slotPositions();
    EXPECT_EQ(std::set<std::uint8_t>(order.begin(), order.end()).size(), 126u);
    std::size_t inPlace = 0;
    for (std::size_t slot = 0; slot < order.size(); ++slot)
        inPlace += order[slot] == slot;
    EXPECT_LT(inPlace, 10u) << "the host must really search the layout";
}

TEST_F(KeyboardTest, FullReadFindsEveryFactoryCodeAndItsLed)
{
    protocol::DeviceBlocks blocks;
    const auto result = protocol::fullRead(channel, blocks);
    ASSERT_EQ(result.outcome, protocol::FullReadOutcome::Completed);
    ASSERT_EQ(result.firstFailure, Status::Ok);
    EXPECT_EQ(blocks.info[protocol::kInfoKeySlotCount], 126);
    EXPECT_EQ(blocks.info[protocol::kInfoMacroUnits], 32);
    EXPECT_EQ(channel.blockSize(), 378);
    const auto& codes = devsim::factoryKeyCodes();
    for (std::size_t position = 0; position < codes.size(); ++position) {
        SCOPED_TRACE(position);
        const devsim::KeyCode code = codes[position];
        // Codes shared by several positions light the first slot that carries them.
        std::size_t slot = 0;
        while (slot < 126 && !(blocks.keyLayout[3 * slot] == code.type &&
                               blocks.keyLayout[3 * slot + 1] == code.p1 &&
                               blocks.keyLayout[3 * slot + 2] == code.p2))
            ++slot;
        ASSERT_LT(slot, 126u);
        EXPECT_EQ(codes[blocks.ledMap[slot]], code);
    }
    EXPECT_EQ(blocks.keyLayout[378], 0);
    EXPECT_EQ(blocks.ledMap[126], 0);
}

TEST_F(KeyboardTest, WritesInASequenceTakeEffectAtEndOnly)
{
    const std::vector<std::uint8_t> record(26, 0x5A);
    ASSERT_EQ(channel.Begin(), Status::Ok);
    ASSERT_EQ(channel.WriteSettings(record, 25), Status::Ok);
    EXPECT_TRUE(keyboard.isInSequence());
    EXPECT_NE(keyboard.area(Area::Settings)[25], 0x5A);
    std::array<std::uint8_t, 26> readBack{};
    ASSERT_EQ(channel.ReadSettings(readBack, 25), Status::Ok);
    EXPECT_EQ(readBack[0], 0x5A) << "the host reads what it wrote in the sequence";
    ASSERT_EQ(channel.End(), Status::Ok);
    EXPECT_EQ(keyboard.area(Area::Settings)[25], 0x5A);
    EXPECT_FALSE(keyboard.isInSequence());
}

TEST_F(KeyboardTest, UnplugInTheMiddleOfAChunkedWriteLeavesTheKeyMapAsItWas)
{
    const auto before = keyboard.area(Area::KeyMap);
    protocol::InfoBlock info{};
    keyboard.injectFault(Fault::UnplugMidWrite);
    std::vector<std::uint8_t> keyMap(378, 0x33);
    EXPECT_EQ(protocol::writeKeyMapBlock(channel, info, keyMap), Status::NoReply);
    EXPECT_FALSE(keyboard.isPlugged(KeyboardLink::Cable));
    EXPECT_EQ(keyboard.area(Area::KeyMap), before);
    EXPECT_FALSE(keyboard.isInSequence());
    // Frames: ReadInfo, Begin, the first key map chunk, the second that met the unplug.
    EXPECT_EQ(keyboard.commandsReceived(), (std::vector<std::uint8_t>{3, 1, 9, 9}));
}

TEST_F(KeyboardTest, DeviceRefusesAreasPastTheirEndAndBadChecksums)
{
    std::vector<std::uint8_t> tail(26, 1);
    EXPECT_EQ(channel.WriteSettings(tail, 500), Status::DeviceErrorFE);
    std::array<std::uint8_t, 6> power{};
    EXPECT_EQ(channel.ReadPower(power, 56), Status::DeviceErrorFE);

    protocol::Frame frame = protocol::buildFrame(protocol::command::kBegin, 0, {});
    frame[protocol::field::kChecksumLow] ^= 1;
    protocol::Frame reply{};
    std::uint32_t count = 0;
    ASSERT_EQ(channel.Transact(frame, reply, count), Status::Ok);
    EXPECT_EQ(protocol::mapReply(Status::Ok, reply), Status::DeviceErrorFE);
    EXPECT_EQ(keyboard.badChecksums(), 1u);

    frame = protocol::buildFrame(0x42, 0, {});
    ASSERT_EQ(channel.Transact(frame, reply, count), Status::Ok);
    EXPECT_EQ(protocol::mapReply(Status::Ok, reply), Status::DeviceErrorFF) << "unknown command";
}

TEST_F(KeyboardTest, ReceiverSpeaksForASleepingKeyboardAndTheCableStillWorks)
{
    keyboard.setAsleep(true);
    EXPECT_EQ(channel.HostLighting(), Status::Ok);
    open(KeyboardLink::Receiver);
    EXPECT_EQ(channel.HostLighting(), Status::ReceiverAsleep);
    EXPECT_FALSE(channel.LinkStatus());
    keyboard.setAsleep(false);
    EXPECT_TRUE(channel.LinkStatus());
    EXPECT_EQ(channel.HostLighting(), Status::Ok);
    EXPECT_TRUE(keyboard.hostLighting());
}

TEST_F(KeyboardTest, ConsumerReportsTakeTheLinkTheKeyboardTalksThrough)
{
    CHidDevice cable;
    CHidDevice receiver;
    ASSERT_TRUE(cable.Open(keyboard.consumerPath(KeyboardLink::Cable), hid::kProbeMode));
    ASSERT_TRUE(receiver.Open(keyboard.consumerPath(KeyboardLink::Receiver), hid::kProbeMode));
    std::array<std::uint8_t, 3> report{};
    std::uint32_t count = 0;

    ASSERT_TRUE(keyboard.sendConsumerUsage(devsim::kUsageSync));
    ASSERT_EQ(cable.Read(report, count, 1000ms), 1);
    EXPECT_EQ(report, (std::array<std::uint8_t, 3>{3, 0x01, 0x04}));
    EXPECT_EQ(receiver.Read(report, count, 0ms), 0);

    keyboard.unplug(KeyboardLink::Cable);
    ASSERT_TRUE(keyboard.switchProfile(3));
    ASSERT_EQ(receiver.Read(report, count, 1000ms), 1);
    EXPECT_EQ(report, (std::array<std::uint8_t, 3>{3, 0x03, 0x10}));
    EXPECT_EQ(keyboard.memory().activeSlot(), 3);

    keyboard.setAsleep(true);
    EXPECT_FALSE(keyboard.sendConsumerUsage(devsim::kUsageSyncProfile));
}

TEST_F(KeyboardTest, LateReplyArrivesBeforeTheNextAnswerAndIsSkipped)
{
    keyboard.injectFault(Fault::Late);
    std::array<std::uint8_t, 34> info{};
    EXPECT_EQ(channel.ReadInfo(info), Status::NoReply);
    EXPECT_EQ(channel.HostLighting(), Status::Ok);
    EXPECT_EQ(keyboard.commandsReceived(), (std::vector<std::uint8_t>{3, 0x1C}));
}

TEST_F(KeyboardTest, UsbTimingCountsOneReportEachWayPerExchange)
{
    keyboard.setUsbTiming(true);
    ASSERT_TRUE(channel.setBlockSize(378));
    std::vector<std::uint8_t> keyMap(378, 0x21);
    ASSERT_EQ(channel.WriteKeyMap(keyMap, 0, 0), Status::Ok);
    auto& timing = keyboard.usbTiming(KeyboardLink::Cable);
    EXPECT_EQ(timing.outReports(), 7u);
    EXPECT_EQ(timing.inReports(), 7u);
}

TEST(StateFile, RoundTripsEveryAreaAndRefusesCorruptFiles)
{
    devsim::KeyboardMemory memory;
    memory.area(Area::Colours)[0xFFFF] = 0x7F;
    memory.area(Area::Macros)[0] = 0xAA;
    memory.area(Area::Settings)[0] = 2;
    const auto text = devsim::serializeKeyboardState(memory);
    const auto parsed = devsim::parseKeyboardState(text);
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_EQ(*parsed, memory);

    const std::vector<std::string> corrupt{
        "",
        "{",
        "[]",
        R"({"format":"halvek-devsim-keyboard","version":1})",
        R"({"format":"other","version":1,"areas":{}})",
        R"({"format":"halvek-devsim-keyboard","version":2,"areas":{}})",
        R"({"format":"halvek-devsim-keyboard","version":1,"areas":{"info":"0"}})",
        R"({"format":"halvek-devsim-keyboard","version":1,"areas":{"info":"zz"}})",
        R"({"format":"halvek-devsim-keyboard","version":1,"areas":{"info":7}})",
        R"({"format":"halvek-devsim-keyboard","version":1,"areas":{"flash":""}})",
        R"({"format":"halvek-devsim-keyboard","version":1,"areas":{"info":")" +
            std::string(70, 'a') + "\"}}",
    };
    for (const auto& bad : corrupt) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(devsim::parseKeyboardState(bad));
    }
}

TEST(StateFile, LoadAndSaveThroughAFile)
{
    testing_support::TempDir folder;
    const auto file = folder.path() / "keyboard.json";
    const auto missing = devsim::loadKeyboardState(file);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, platform::Error::Code::NotFound);

    devsim::KeyboardMemory memory;
    memory.area(Area::KeyMap)[0] = 0x70;
    ASSERT_TRUE(devsim::saveKeyboardState(file, memory));
    const auto loaded = devsim::loadKeyboardState(file);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, memory);

    std::ofstream(file) << std::string(devsim::kMaxStateFileSize + 1, ' ');
    const auto tooBig = devsim::loadKeyboardState(file);
    ASSERT_FALSE(tooBig);
    EXPECT_EQ(tooBig.error().code, platform::Error::Code::TooLarge);
}
