#include "device/protocol/chunking.h"
#include "device/protocol/frame.h"
#include "frame_bytes.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

using protocol::Frame;

TEST(CommandFrame, SimpleCommandHasOnlyItsIdInTheSum)
{
    EXPECT_EQ(protocol::buildFrame(0x01, 0, {}), frameFromHex("04 01 00 01"));
}

TEST(CommandFrame, ChecksumCarriesIntoHighByte)
{
    // Two 0xFF payload bytes push the sum past 255: an 8-bit checksum fails here.
    const std::array<std::uint8_t, 2> payload{0xFF, 0xFF};
    EXPECT_EQ(protocol::buildFrame(0x10, 0x0102, payload),
              frameFromHex("04 13 02 10 02 02 01 00 ff ff"));
}

TEST(CommandFrame, ChecksumWrapsAtSixteenBits)
{
    // 61 bytes of 0xFF (bytes 3..63) sum to 0x3CC3; the full 16 bits survive, bytes 0-2 don't
    // count.
    Frame frame{};
    frame.fill(0xFF);
    EXPECT_EQ(protocol::frameChecksum(frame), 61 * 0xFF);
    protocol::sealFrame(frame);
    EXPECT_EQ(frame[1], 0xC3);
    EXPECT_EQ(frame[2], 0x3C);
    EXPECT_EQ(frame[0], 0xFF);
}

TEST(CommandFrame, ReadFrameCarriesLengthAndOffsetWithoutPayload)
{
    EXPECT_EQ(protocol::buildReadFrame(0x1A, 0x0203, 6), frameFromHex("04 25 00 1a 06 03 02 00"));
}

TEST(CommandFrame, RequestsArePaddedOrCutToOneFrame)
{
    const std::array<std::uint8_t, 3> shortRequest{0x04, 0x00, 0x00};
    EXPECT_EQ(protocol::padToFrame(shortRequest), frameFromHex("04"));
    std::vector<std::uint8_t> longRequest(70, 0x11);
    const Frame cut = protocol::padToFrame(longRequest);
    EXPECT_EQ(cut[63], 0x11);
}

TEST(ReplyMatch, EchoIsTestedBeforeTheReceiversSleepMark)
{
    const Frame request = frameFromHex("04 00 00 07 38 50 01");
    const Frame answer = frameFromHex("04 00 00 07 38 50 01");
    const Frame asleep = frameFromHex("04 00 00 aa 38 50 01");
    const Frame stale = frameFromHex("04 00 00 05 38 50 01");
    using protocol::ReplyMatch;
    EXPECT_EQ(protocol::matchReply(request, answer, true), ReplyMatch::Answer);
    EXPECT_EQ(protocol::matchReply(request, asleep, true), ReplyMatch::ReceiverAsleep);
    // On the cable 0xAA is just another wrong echo.
    EXPECT_EQ(protocol::matchReply(request, asleep, false), ReplyMatch::Other);
    EXPECT_EQ(protocol::matchReply(request, stale, true), ReplyMatch::Other);
    // The link status command's own answer carries 0xAA and is an answer, not sleep.
    const Frame linkStatus = frameFromHex("04 00 00 aa");
    EXPECT_EQ(protocol::matchReply(linkStatus, frameFromHex("04 00 00 aa"), true),
              ReplyMatch::Answer);
}

TEST(ReplyMatch, TheSameCommandAtAnotherOffsetOrLengthAnswersSomethingElse)
{
    // 07@336+56 is not the answer to 07@0+56: its data belongs 336 bytes further on.
    const Frame request = frameFromHex("04 00 00 07 38 00 00");
    using protocol::ReplyMatch;
    EXPECT_EQ(protocol::matchReply(request, frameFromHex("04 00 00 07 38 50 01"), false),
              ReplyMatch::Other);
    EXPECT_EQ(protocol::matchReply(request, frameFromHex("04 00 00 07 38 00 01"), false),
              ReplyMatch::Other)
        << "high offset byte";
    EXPECT_EQ(protocol::matchReply(request, frameFromHex("04 00 00 07 18 00 00"), false),
              ReplyMatch::Other)
        << "length";
    EXPECT_EQ(protocol::describeHeader(frameFromHex("04 00 00 07 38 50 01")), "07@336+56");
}

TEST(ReplyMapping, StatusByteDecidesOnlyAfterASuccessfulExchange)
{
    using protocol::Status;
    const struct {
        Status exchange;
        std::uint8_t statusByte;
        Status expected;
    } cases[] = {
        {Status::Ok, 0x00, Status::Ok},
        {Status::Ok, 0x01, Status::Ok},
        {Status::Ok, 0xFD, Status::Ok},
        {Status::Ok, 0xFF, Status::DeviceErrorFF},
        {Status::Ok, 0xFE, Status::DeviceErrorFE},
        {Status::NoReply, 0xFF, Status::NoReply},
        {Status::WriteFailed, 0x00, Status::WriteFailed},
        {Status::ReceiverAsleep, 0x00, Status::ReceiverAsleep},
    };
    for (const auto& c : cases) {
        Frame reply{};
        reply[protocol::field::kStatus] = c.statusByte;
        EXPECT_EQ(protocol::mapReply(c.exchange, reply), c.expected)
            << "status byte " << int(c.statusByte);
    }
}

TEST(FrameTrace, LineGroupsBytesByFourWithWideGapsFirst)
{
    std::array<std::uint8_t, 32> bytes{};
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0xE0});
    EXPECT_EQ(protocol::traceLine(bytes), L"e0 e1 e2 e3   e4 e5 e6 e7   e8 e9 ea eb   ec ed ee ef  "
                                          L"f0 f1 f2 f3  f4 f5 f6 f7  f8 f9 fa fb  fc fd fe ff");
}

namespace {

std::vector<Frame> writeFrames(std::uint8_t command, std::span<const std::uint8_t> data,
                               std::uint16_t base, std::size_t chunkSize)
{
    std::vector<Frame> frames;
    auto sequence = protocol::ChunkSequence::forWrite(command, data, base, chunkSize);
    while (sequence.next())
        frames.push_back(sequence.frame());
    return frames;
}

} // namespace

TEST(ChunkedWrite, ShortLastChunkKeepsThePreviousChunksBytesInTheSum)
{
    // 34 bytes through the receiver: 24 + 10. Payload bytes 10..23 of the second frame still
    // hold the first chunk's bytes, and the checksum includes them.
    std::vector<std::uint8_t> data(34);
    std::iota(data.begin(), data.end(), std::uint8_t{1});
    const auto frames = writeFrames(0x06, data, 0, 24);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], frameFromHex("04 4a 01 06 18 00 00 00 "
                                      "01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 "
                                      "11 12 13 14 15 16 17 18"));
    EXPECT_EQ(frames[1], frameFromHex("04 44 02 06 0a 18 00 00 "
                                      "19 1a 1b 1c 1d 1e 1f 20 21 22 0b 0c 0d 0e 0f 10 "
                                      "11 12 13 14 15 16 17 18"));
}

TEST(ChunkedWrite, OffsetsAddTheBaseLowByteFirst)
{
    std::vector<std::uint8_t> data(60, 0x00);
    const auto frames = writeFrames(0x0B, data, 0x01F0, 56);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(protocol::frameOffset(frames[0]), 0x01F0);
    EXPECT_EQ(frames[1][5], 0x28); // 0x01F0 + 56 = 0x0228
    EXPECT_EQ(frames[1][6], 0x02);
    EXPECT_EQ(frames[1][4], 4);
}

TEST(ChunkedWrite, EmptyBlockSendsNothing)
{
    EXPECT_TRUE(writeFrames(0x15, {}, 0, 56).empty());
}

TEST(ChunkedRead, CoversTheBlockInChunkSizedPieces)
{
    // A 312-byte key layout: six frames on the cable, thirteen through the receiver.
    for (const auto& [chunk, frames, last] : {std::tuple{56u, 6u, 32u}, {24u, 13u, 24u}}) {
        auto sequence = protocol::ChunkSequence::forRead(0x07, 312, 0, chunk);
        std::size_t count = 0;
        std::size_t covered = 0;
        while (sequence.next()) {
            EXPECT_EQ(sequence.frame()[4], sequence.length());
            EXPECT_EQ(protocol::frameOffset(sequence.frame()), covered);
            covered += sequence.length();
            ++count;
        }
        EXPECT_EQ(count, frames);
        EXPECT_EQ(covered, 312u);
        EXPECT_EQ(sequence.frame()[4], last);
    }
}

TEST(OffsetSpace, TransfersMayEndExactlyAtTheTopButNotPastIt)
{
    EXPECT_TRUE(protocol::fitsOffsetSpace(0, 0x10000));
    EXPECT_TRUE(protocol::fitsOffsetSpace(127 * 512, 512));
    EXPECT_FALSE(protocol::fitsOffsetSpace(128 * 512, 1)); // custom group 128 would wrap to 0
    EXPECT_FALSE(protocol::fitsOffsetSpace(0, 0x10001));
    EXPECT_FALSE(protocol::fitsOffsetSpace(0x10001, 0));
}
