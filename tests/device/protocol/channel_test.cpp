#include "channel_fixture.h"
#include "device/hid/sim/sim_interface.h"
#include "device/protocol/commands.h"
#include "frame_bytes.h"
#include "platform/debug_output.h"

#include <atomic>
#include <future>
#include <numeric>
#include <thread>

using devsim::Area;
using devsim::Fault;
using protocol::Status;
namespace command = protocol::command;

TEST_F(ChannelTest, ClosedChannelSendsNothingAndAnswersZero)
{
    channel.closeLinks();
    std::array<std::uint8_t, 34> info{};
    std::array<std::uint8_t, 26> record{};
    EXPECT_EQ(channel.Begin(), Status::NoReply);
    EXPECT_EQ(channel.ReadInfo(info), Status::NoReply);
    EXPECT_EQ(channel.WriteSettings(record, 25), Status::NoReply);
    EXPECT_EQ(channel.LiveColours(record, 0), Status::NoReply);
    EXPECT_TRUE(device.received().empty());
    EXPECT_FALSE(channel.isBusy());
}

TEST_F(ChannelTest, TracesRequestAndReplyAsHexLines)
{
    platform::clearDebugLines();
    ASSERT_EQ(channel.Begin(), Status::Ok);
    const std::wstring zeroLine = L"00 00 00 00   00 00 00 00   00 00 00 00   00 00 00 00  "
                                  L"00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00";
    const std::vector<std::wstring> expected{
        L"命令",
        L"04 01 00 01   00 00 00 00   00 00 00 00   00 00 00 00  "
        L"00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00",
        zeroLine,
        L"返回",
        L"04 01 00 01   00 00 00 00   00 00 00 00   00 00 00 00  "
        L"00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00",
        zeroLine,
    };
    EXPECT_EQ(platform::debugLines(), expected);
    EXPECT_EQ(device.received().front(), frameFromHex("04 01 00 01"));
}

TEST_F(ChannelTest, StaleReplyIsSkippedOnce)
{
    device.injectFaults({Fault::WrongEcho});
    std::array<std::uint8_t, 6> power{};
    device.setArea(Area::Power, 0, std::array<std::uint8_t, 6>{80, 1, 0, 0, 7, 0});
    EXPECT_EQ(channel.ReadPower(power, 0), Status::Ok);
    EXPECT_EQ(power, (std::array<std::uint8_t, 6>{80, 1, 0, 0, 7, 0}));
    EXPECT_EQ(device.received().size(), 1u);
}

TEST_F(ChannelTest, ReplyThatCameAfterItsExchangeNeverAnswersTheNextRequest)
{
    device.setArea(Area::Power, 0, std::array<std::uint8_t, 6>{80, 1, 0, 0, 7, 0});
    device.injectFaults({Fault::Late});
    std::array<std::uint8_t, 6> power{};
    EXPECT_EQ(channel.ReadPower(power, 0), Status::NoReply);
    // The old answer arrives now, and the device's state changes before the next request.
    device.releaseLateReplies();
    device.setArea(Area::Power, 0, std::array<std::uint8_t, 6>{55, 0, 0, 0, 3, 0});
    EXPECT_EQ(channel.ReadPower(power, 0), Status::Ok);
    EXPECT_EQ(power, (std::array<std::uint8_t, 6>{55, 0, 0, 0, 3, 0}));
    // And the one after that is not a reply behind either.
    device.setArea(Area::Power, 0, std::array<std::uint8_t, 6>{60, 1, 0, 0, 4, 0});
    EXPECT_EQ(channel.ReadPower(power, 0), Status::Ok);
    EXPECT_EQ(power, (std::array<std::uint8_t, 6>{60, 1, 0, 0, 4, 0}));
}

TEST_F(ChannelTest, TwoRepliesToSomethingElseLeaveTheRequestUnanswered)
{
    // Neither the foreign status byte nor "success" may stand for this request's answer.
    device.injectFaults({Fault::WrongEchoTwice, Fault::WrongEchoTwiceFF});
    EXPECT_EQ(channel.Begin(), Status::NoReply);
    EXPECT_EQ(channel.Begin(), Status::NoReply);
    EXPECT_EQ(channel.Begin(), Status::Ok);
}

TEST_F(ChannelTest, ReplyOfTheSameCommandAtAnotherOffsetOrLengthIsNeverTaken)
{
    std::array<std::uint8_t, 6> power{};
    device.setArea(Area::Power, 0, std::array<std::uint8_t, 6>{80, 1, 0, 0, 7, 0});
    platform::clearDebugLines();
    device.injectFaults({Fault::ForeignLength});
    EXPECT_EQ(channel.ReadPower(power, 0), Status::Ok);
    EXPECT_EQ(power, (std::array<std::uint8_t, 6>{80, 1, 0, 0, 7, 0}));
    const auto lines = platform::debugLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"reply 1a@0+7 ignored: 1a@0+6 asked"),
              lines.end());

    // Another program's reads of the same block: its data never lands in ours.
    power.fill(0x55);
    device.injectFaults({Fault::ForeignOffset});
    EXPECT_EQ(channel.ReadPower(power, 0), Status::NoReply);
    EXPECT_EQ(power, (std::array<std::uint8_t, 6>{0x55, 0x55, 0x55, 0x55, 0x55, 0x55}));
}

TEST_F(ChannelTest, DeviceStatusBytesMapToTheirCodes)
{
    device.injectFaults({Fault::StatusFF, Fault::StatusFE});
    EXPECT_EQ(channel.HostLighting(), Status::DeviceErrorFF);
    EXPECT_EQ(channel.HostLighting(), Status::DeviceErrorFE);
    EXPECT_EQ(channel.HostLighting(), Status::Ok);
}

TEST_F(ChannelTest, SleepingDeviceBehindReceiverIsReportedUnreachable)
{
    openOn(protocol::LinkMode::Receiver);
    device.setAsleep(true);
    EXPECT_EQ(channel.Begin(), Status::ReceiverAsleep);
    // The link status command's own echo is 0xAA: an answer, saying "not reachable".
    EXPECT_FALSE(channel.LinkStatus());
    device.setAsleep(false);
    EXPECT_TRUE(channel.LinkStatus());
}

TEST_F(ChannelTest, OnlyTheReceiverTakesAnAaEchoForUnreachable)
{
    device.injectFaults({Fault::ReceiverMark});
    EXPECT_EQ(channel.Begin(), Status::Ok) << "on the cable 0xAA is just a wrong echo";
    EXPECT_TRUE(channel.LinkStatus());
    EXPECT_EQ(device.received().size(), 1u) << "link status asks nothing on the cable";

    openOn(protocol::LinkMode::Receiver);
    device.injectFaults({Fault::ReceiverMark});
    EXPECT_EQ(channel.Begin(), Status::ReceiverAsleep);
}

TEST_F(ChannelTest, UnplugBetweenWriteAndReadIsAFailedRead)
{
    device.injectFaults({Fault::UnplugBeforeReply});
    EXPECT_EQ(channel.Begin(), Status::NoReply);
    // The link is gone now: the next request cannot even be written.
    EXPECT_EQ(channel.Begin(), Status::WriteFailed);
    EXPECT_EQ(device.received().size(), 1u);
    EXPECT_FALSE(channel.isBusy());
}

TEST_F(ChannelTest, TransactNeverWritesPastTheCallersBuffer)
{
    const protocol::Frame request = frameFromHex("04 01 00 01");
    std::vector<std::uint8_t> reply(10, 0xEE);
    std::uint32_t bytesRead = 99;
    EXPECT_EQ(channel.Transact(request, reply, bytesRead), Status::Ok);
    EXPECT_EQ(bytesRead, 10u);
    EXPECT_EQ(reply[3], 0x01);
}

TEST(ChannelReplies, ReportsOfAnotherLengthAreFailedReads)
{
    // A collection whose input reports are 33 bytes: its echo is never a frame.
    const std::uint8_t descriptor[] = {0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15,
                                       0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x20, 0x09, 0x01,
                                       0x81, 0x02, 0x09, 0x01, 0x95, 0x3F, 0x91, 0x02, 0xC0};
    hid::sim::SimInterface* self = nullptr;
    hid::sim::SimInterface device({0x36B0, 0x5078, 0x0100, 1}, descriptor,
                                  [&self](std::uint32_t, std::span<const std::uint8_t> report) {
                                      (void)self->queueInput(report);
                                  });
    self = &device;
    device.plug();
    CDeviceProtocol channel;
    ASSERT_TRUE(channel.openLink(protocol::Link::Wired, device.path(1)));
    channel.setLinkMode(protocol::LinkMode::Wired);
    const protocol::Frame request = frameFromHex("04 01 00 01");
    protocol::Frame reply{};
    std::uint32_t bytesRead = 99;
    EXPECT_EQ(channel.Transact(request, reply, bytesRead), Status::NoReply);
    EXPECT_EQ(bytesRead, 0u);
}

TEST_F(ChannelTest, LostReplyTimesOutAsZero)
{
    device.injectFaults({Fault::Lost});
    EXPECT_EQ(channel.Begin(), Status::NoReply);
    EXPECT_FALSE(channel.isBusy());
    EXPECT_EQ(channel.Begin(), Status::Ok);
}

TEST_F(ChannelTest, ChunkedWriteStopsAtTheFirstFailingChunk)
{
    std::vector<std::uint8_t> record(120);
    std::iota(record.begin(), record.end(), std::uint8_t{1});
    device.injectFaults({Fault::None, Fault::StatusFE});
    EXPECT_EQ(channel.WriteSettings(record, 0), Status::DeviceErrorFE);
    EXPECT_EQ(device.received().size(), 2u);
    const auto memory = device.area(Area::Settings);
    EXPECT_EQ(memory[55], 56);
}

TEST_F(ChannelTest, ReceiverChunksAreTwentyFourBytesWithRunningOffsets)
{
    openOn(protocol::LinkMode::Receiver);
    std::vector<std::uint8_t> data(34);
    std::iota(data.begin(), data.end(), std::uint8_t{1});
    ASSERT_EQ(channel.WriteSettings(data, 0), Status::Ok);
    const auto frames = device.received();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1], frameFromHex("04 44 02 06 0a 18 00 00 "
                                      "19 1a 1b 1c 1d 1e 1f 20 21 22 0b 0c 0d 0e 0f 10 "
                                      "11 12 13 14 15 16 17 18"));
    EXPECT_EQ(device.badChecksums(), 0u);
    const auto memory = device.area(Area::Settings);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), memory.begin()));
    EXPECT_EQ(memory[34], 0) << "stale payload bytes past the chunk must not be stored";
}

TEST_F(ChannelTest, LinkModeSetsChunkSizeAndEmptyWritesSendNothing)
{
    EXPECT_EQ(channel.chunkSize(), 56);
    openOn(protocol::LinkMode::Receiver);
    EXPECT_EQ(channel.chunkSize(), 24);
    EXPECT_TRUE(channel.isReceiverMode());
    EXPECT_EQ(channel.WriteMacros({}, 0), Status::Ok);
    EXPECT_TRUE(device.received().empty());
    // The recoil pattern ignores the receiver's chunk size.
    std::vector<std::uint8_t> pattern(100, 0x33);
    ASSERT_EQ(channel.WriteShootData(pattern, 0), Status::Ok);
    const auto frames = device.received();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0][4], 56);
    EXPECT_EQ(frames[1][4], 44);
}

TEST_F(ChannelTest, BlockSizeLimitsKeyLayoutAndLedMapReads)
{
    EXPECT_FALSE(channel.setBlockSize(513));
    EXPECT_EQ(channel.blockSize(), 512);
    ASSERT_TRUE(channel.setBlockSize(312));
    std::array<std::uint8_t, 512> layout{};
    ASSERT_EQ(channel.ReadKeyLayout(layout), Status::Ok);
    EXPECT_EQ(device.received().size(), 6u);
    std::array<std::uint8_t, 512> ledMap{};
    ASSERT_EQ(channel.ReadLedMap(ledMap), Status::Ok);
    EXPECT_EQ(device.received().size(), 8u) << "104 LED bytes take two frames";

    openOn(protocol::LinkMode::Receiver);
    device.clearReceived();
    ASSERT_EQ(channel.ReadKeyLayout(layout), Status::Ok);
    EXPECT_EQ(device.received().size(), 13u);
    // A buffer smaller than the block is refused, not overrun.
    std::array<std::uint8_t, 100> small{};
    EXPECT_EQ(channel.ReadKeyLayout(small), Status::NoReply);
    EXPECT_EQ(device.received().size(), 13u);
}

TEST_F(ChannelTest, TransfersPastTheSixteenBitOffsetAreRefusedWhole)
{
    std::vector<std::uint8_t> group(512, 0x10);
    ASSERT_EQ(channel.WriteCustomColours(group, 127, 512, 0), Status::Ok);
    device.clearReceived();
    // Group 128 starts at 0x10000, which would wrap onto offset 0.
    EXPECT_EQ(channel.WriteCustomColours(group, 128, 512, 0), Status::NoReply);
    EXPECT_EQ(channel.WriteCustomColours(group, 255, 512, 0), Status::NoReply);
    std::vector<std::uint8_t> tail(17);
    EXPECT_EQ(channel.WriteSettings(tail, 0xFFF0), Status::NoReply);
    EXPECT_TRUE(device.received().empty());
    EXPECT_EQ(device.area(Area::Colours)[0], 0);
}

TEST_F(ChannelTest, SingleReadIsLimitedToOneFramesData)
{
    std::array<std::uint8_t, 57> tooLong{};
    EXPECT_EQ(channel.ReadPower(tooLong, 0), Status::NoReply);
    EXPECT_TRUE(device.received().empty());
    std::array<std::uint8_t, 56> whole{};
    EXPECT_EQ(channel.ReadPower(whole, 0), Status::Ok);
}

TEST_F(ChannelTest, KeyMapBanksAboveZeroAreRefused)
{
    std::array<std::uint8_t, 512> keyMap{};
    EXPECT_EQ(channel.WriteKeyMap(keyMap, 1, 0), Status::BankRefused);
    EXPECT_EQ(channel.WriteKeyMap(keyMap, -1, 0), Status::BankRefused);
    EXPECT_TRUE(device.received().empty());
}

TEST_F(ChannelTest, LiveColoursUseTheQuickExchangeOnTheCableOnly)
{
    std::vector<std::uint8_t> frame(384, 0x40);
    platform::clearDebugLines();
    ASSERT_EQ(channel.LiveColours(frame, 0), Status::Ok);
    EXPECT_EQ(device.received().size(), 7u);
    EXPECT_TRUE(platform::debugLines().empty()) << "live frames are not traced";

    openOn(protocol::LinkMode::Receiver);
    device.clearReceived();
    EXPECT_EQ(channel.LiveColours(frame, 0), Status::NoReply);
    EXPECT_TRUE(device.received().empty());
}

TEST_F(ChannelTest, LiveColoursAreDroppedWhileALoggedExchangeRuns)
{
    device.injectFaults({Fault::Late});
    auto begin = std::async(std::launch::async, [this] { return channel.Begin(); });
    // Begin now waits for its answer, busy set.
    ASSERT_TRUE(device.requestArrived().waitFor(std::chrono::seconds(5)));
    platform::clearDebugLines();
    std::vector<std::uint8_t> frame(384, 0x40);
    EXPECT_EQ(channel.LiveColours(frame, 0), Status::NoReply);
    EXPECT_TRUE(platform::debugLinesContain(L"放弃灯光数据"));
    device.releaseLateReplies();
    EXPECT_EQ(begin.get(), Status::Ok);
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{command::kBegin});
    EXPECT_FALSE(channel.isBusy());
}

TEST_F(ChannelTest, CommandsLiveFramesAndLinkReopeningNeverDeadlock)
{
    // Each thread takes the locks its way: commands (command, then transfer), live frames
    // (live, then transfer), detection (transfer only). Finishing is the test; ThreadSanitizer
    // also reports any inversion of the order.
    std::atomic<bool> done{false};
    auto commands = std::async(std::launch::async, [&] {
        std::array<std::uint8_t, 34> info{};
        while (!done)
            (void)channel.ReadInfo(info);
    });
    auto live = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> frame(384, 0x10);
        while (!done) {
            (void)channel.LiveColours(frame, 0);
            (void)channel.WriteCustomColours(frame, 1, 512, 0);
        }
    });
    for (int i = 0; i < 200; ++i) {
        std::lock_guard transfer(channel.transferLock());
        channel.setOpen(true);
    }
    done = true;
    commands.get();
    live.get();
    EXPECT_EQ(device.badChecksums(), 0u);
}
