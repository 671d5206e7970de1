#include "device/protocol/frame.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

namespace protocol {

std::uint16_t frameChecksum(const Frame& frame)
{
    std::uint16_t sum = 0;
    for (std::size_t i = field::kCommand; i < kFrameSize; ++i)
        sum = static_cast<std::uint16_t>(sum + frame[i]);
    return sum;
}

void sealFrame(Frame& frame)
{
    const std::uint16_t sum = frameChecksum(frame);
    frame[field::kChecksumLow] = static_cast<std::uint8_t>(sum & 0xFF);
    frame[field::kChecksumHigh] = static_cast<std::uint8_t>(sum >> 8);
}

namespace {

void putHeader(Frame& frame, std::size_t length, std::uint16_t offset)
{
    frame[field::kLength] = static_cast<std::uint8_t>(length);
    frame[field::kOffsetLow] = static_cast<std::uint8_t>(offset & 0xFF);
    frame[field::kOffsetHigh] = static_cast<std::uint8_t>(offset >> 8);
}

Frame freshFrame(std::uint8_t command)
{
    Frame frame{};
    frame[field::kReportId] = kReportId;
    frame[field::kCommand] = command;
    return frame;
}

} // namespace

void rewriteChunk(Frame& frame, std::uint16_t offset, std::span<const std::uint8_t> payload)
{
    assert(payload.size() <= kMaxPayload);
    const std::size_t length = std::min(payload.size(), kMaxPayload);
    putHeader(frame, length, offset);
    std::copy_n(payload.begin(), length, frame.begin() + field::kPayload);
    sealFrame(frame);
}

void rewriteReadChunk(Frame& frame, std::uint16_t offset, std::uint8_t length)
{
    putHeader(frame, length, offset);
    sealFrame(frame);
}

Frame buildFrame(std::uint8_t command, std::uint16_t offset, std::span<const std::uint8_t> payload)
{
    Frame frame = freshFrame(command);
    rewriteChunk(frame, offset, payload);
    return frame;
}

Frame buildReadFrame(std::uint8_t command, std::uint16_t offset, std::uint8_t length)
{
    Frame frame = freshFrame(command);
    rewriteReadChunk(frame, offset, length);
    return frame;
}

std::uint16_t frameOffset(std::span<const std::uint8_t, kFrameSize> frame)
{
    return static_cast<std::uint16_t>(frame[field::kOffsetLow] | (frame[field::kOffsetHigh] << 8));
}

Frame padToFrame(std::span<const std::uint8_t> bytes)
{
    Frame frame{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), kFrameSize), frame.begin());
    return frame;
}

ReplyMatch matchReply(const Frame& request, std::span<const std::uint8_t> reply, bool receiverMode)
{
    if (reply.size() <= field::kOffsetHigh)
        return ReplyMatch::Other;
    const bool echoes = reply[field::kCommand] == request[field::kCommand] &&
                        reply[field::kLength] == request[field::kLength] &&
                        reply[field::kOffsetLow] == request[field::kOffsetLow] &&
                        reply[field::kOffsetHigh] == request[field::kOffsetHigh];
    if (echoes)
        return ReplyMatch::Answer;
    // To the link status command itself the mark would be its answer: a reply of 0xAA that
    // does not echo it answers some other program's link status.
    if (receiverMode && reply[field::kCommand] == kReceiverAsleepEcho &&
        request[field::kCommand] != kReceiverAsleepEcho)
        return ReplyMatch::ReceiverAsleep;
    return ReplyMatch::Other;
}

Status mapReply(Status exchange, std::span<const std::uint8_t> reply)
{
    if (exchange != Status::Ok)
        return exchange;
    if (reply.size() <= field::kStatus)
        return Status::NoReply;
    switch (reply[field::kStatus]) {
    case kReplyErrorFF:
        return Status::DeviceErrorFF;
    case kReplyErrorFE:
        return Status::DeviceErrorFE;
    default:
        return Status::Ok;
    }
}

std::string describeHeader(std::span<const std::uint8_t> frame)
{
    if (frame.size() <= field::kOffsetHigh)
        return "short frame";
    char text[32];
    std::snprintf(text, sizeof text, "%02x@%u+%u", unsigned(frame[field::kCommand]),
                  unsigned(frame[field::kOffsetLow] | frame[field::kOffsetHigh] << 8),
                  unsigned(frame[field::kLength]));
    return text;
}

std::wstring traceLine(std::span<const std::uint8_t, kFrameSize / 2> bytes)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring line;
    line.reserve(112);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            if (i % 4 != 0)
                line += L' ';
            else
                line.append(i <= 12 ? 3 : 2, L' ');
        }
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0F];
    }
    return line;
}

} // namespace protocol
