#include "devsim/command_handler.h"
#include "devsim/faults.h"

#include "device/protocol/commands.h"

#include <gtest/gtest.h>

#include <vector>

using devsim::Area;
using devsim::CommandHandler;
using devsim::Fault;
namespace command = protocol::command;
namespace field = protocol::field;

namespace {

class HandlerTest : public ::testing::Test {
protected:
    protocol::Frame send(std::uint8_t commandId, std::uint16_t offset,
                         std::vector<std::uint8_t> payload = {})
    {
        return handler.handle(protocol::buildFrame(commandId, offset, payload));
    }
    protocol::Frame read(std::uint8_t commandId, std::uint16_t offset, std::uint8_t length)
    {
        return handler.handle(protocol::buildReadFrame(commandId, offset, length));
    }
    static bool sealed(const protocol::Frame& reply)
    {
        const auto sum = protocol::frameChecksum(reply);
        return reply[field::kChecksumLow] == (sum & 0xFF) &&
               reply[field::kChecksumHigh] == sum >> 8;
    }

    devsim::KeyboardMemory memory;
    CommandHandler handler{memory};
};

} // namespace

TEST_F(HandlerTest, RepliesEchoTheHeaderAndCarryReadsAtTheirOffset)
{
    const auto reply = read(command::kReadInfo, 4, 3);
    EXPECT_EQ(reply[field::kCommand], command::kReadInfo);
    EXPECT_EQ(reply[field::kLength], 3);
    EXPECT_EQ(reply[field::kOffsetLow], 4);
    EXPECT_EQ(reply[field::kStatus], CommandHandler::kStatusOk);
    EXPECT_EQ(reply[field::kPayload + 1], 126);
    EXPECT_EQ(reply[field::kPayload + 2], 32);
    EXPECT_TRUE(sealed(reply));

    // The info block is 34 bytes: a read running past it gets zeros, one starting past it
    // is refused.
    const auto tail = read(command::kReadInfo, 30, 8);
    EXPECT_EQ(tail[field::kStatus], CommandHandler::kStatusOk);
    EXPECT_EQ(tail[field::kPayload + 7], 0);
    EXPECT_EQ(read(command::kReadInfo, 34, 1)[field::kStatus], CommandHandler::kStatusRefused);
}

TEST_F(HandlerTest, SequenceHoldsWritesUntilEndAndASecondBeginKeepsThem)
{
    send(command::kBegin, 0);
    send(command::kWriteKeyMap, 0, {0x70, 0x01, 0x00});
    send(command::kBegin, 0);
    EXPECT_NE(memory.area(Area::KeyMap)[0], 0x70);
    send(command::kEnd, 0);
    EXPECT_EQ(memory.area(Area::KeyMap)[0], 0x70);
    EXPECT_EQ(handler.applied(), 1u);
    // End with no sequence open changes nothing.
    send(command::kEnd, 0);
    EXPECT_EQ(handler.applied(), 1u);

    send(command::kBegin, 0);
    send(command::kWriteMacros, 0, {0xAA, 0x55});
    handler.dropSequence();
    send(command::kEnd, 0);
    EXPECT_EQ(memory.area(Area::Macros)[0], 0) << "a dropped sequence is never applied";
}

TEST_F(HandlerTest, LiveFramesShowAtOnceEvenInsideASequence)
{
    send(command::kBegin, 0);
    send(command::kLiveColours, 381, {1, 2, 3});
    EXPECT_EQ(memory.area(Area::LiveFrame)[383], 3);
    EXPECT_EQ(send(command::kLiveColours, 382, {1, 2, 3})[field::kStatus],
              CommandHandler::kStatusRefused);
}

TEST_F(HandlerTest, RefusesWhatWouldOverrunAnAreaOrAFrame)
{
    // Key map banks above 0 land past the 512-byte key map.
    EXPECT_EQ(send(command::kWriteKeyMap, 512, {1})[field::kStatus],
              CommandHandler::kStatusRefused);
    EXPECT_EQ(send(command::kWriteSettings, 511, {1, 2})[field::kStatus],
              CommandHandler::kStatusRefused);
    EXPECT_EQ(memory.area(Area::Settings)[511], 0);
    // A length byte above 56 would read past the frame's payload.
    protocol::Frame frame = protocol::buildFrame(command::kWriteSettings, 0, {});
    frame[field::kLength] = 57;
    protocol::sealFrame(frame);
    EXPECT_EQ(handler.handle(frame)[field::kStatus], CommandHandler::kStatusRefused);
    // The key layout and the LED map are the factory's; writes to them are unknown commands.
    EXPECT_EQ(send(0x08, 0, {1})[field::kStatus], CommandHandler::kStatusUnknownCommand);
    EXPECT_EQ(send(command::kWriteShootData, 0, {1, 2})[field::kStatus], CommandHandler::kStatusOk);
}

TEST(FaultScript, UnplugMidWriteWaitsForAFrameThatContinuesAWrite)
{
    devsim::FaultScript script;
    script.push(Fault::UnplugMidWrite);
    script.push(Fault::StatusFF);
    EXPECT_EQ(script.take(command::kBegin, false, 0, 0), Fault::None);
    EXPECT_EQ(script.take(command::kWriteSettings, true, 25, 26), Fault::None);
    // Another write starting elsewhere is not the same transfer.
    EXPECT_EQ(script.take(command::kWriteSettings, true, 0, 26), Fault::None);
    EXPECT_EQ(script.take(command::kWriteSettings, true, 26, 10), Fault::UnplugMidWrite);
    EXPECT_EQ(script.take(command::kEnd, false, 0, 0), Fault::StatusFF);
    EXPECT_TRUE(script.isEmpty());
}

TEST(FaultNames, EveryFaultHasAUniqueNameThatReadsBack)
{
    for (const Fault fault : devsim::allFaults()) {
        SCOPED_TRACE(devsim::faultName(fault));
        EXPECT_EQ(devsim::faultNamed(devsim::faultName(fault)), fault);
    }
    EXPECT_FALSE(devsim::faultNamed("LOST"));
    EXPECT_FALSE(devsim::faultNamed(""));
}
