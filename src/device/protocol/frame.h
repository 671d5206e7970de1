#pragma once

// The 64-byte command frame both directions use, and the pure rules around it: checksum,
// building, reply classification and mapping, trace lines. No device, no lock, no clock.

#include "device/protocol/status.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace protocol {

inline constexpr std::size_t kFrameSize = 64;
inline constexpr std::size_t kMaxPayload = 56;
inline constexpr std::uint8_t kReportId = 0x04;

// Byte positions within a frame.
namespace field {
inline constexpr std::size_t kReportId = 0;
inline constexpr std::size_t kChecksumLow = 1;
inline constexpr std::size_t kChecksumHigh = 2;
inline constexpr std::size_t kCommand = 3;
inline constexpr std::size_t kLength = 4;
inline constexpr std::size_t kOffsetLow = 5;
inline constexpr std::size_t kOffsetHigh = 6;
inline constexpr std::size_t kStatus = 7;
inline constexpr std::size_t kPayload = 8;
} // namespace field

// Reply status bytes the device uses for errors; anything else is success.
inline constexpr std::uint8_t kReplyErrorFF = 0xFF;
inline constexpr std::uint8_t kReplyErrorFE = 0xFE;
// Byte 3 of a receiver's reply when the device behind it cannot be reached.
inline constexpr std::uint8_t kReceiverAsleepEcho = 0xAA;

using Frame = std::array<std::uint8_t, kFrameSize>;

// Sum of bytes 3..63 as unsigned bytes, kept in 16 bits.
[[nodiscard]] std::uint16_t frameChecksum(const Frame& frame);
// Stores the checksum in bytes 1-2 (low first); call after every other byte is in place.
void sealFrame(Frame& frame);

// A fresh sealed frame: report id, command, length = payload size, offset, status 0, payload,
// zeros after it. The payload must not exceed kMaxPayload bytes (excess is cut).
[[nodiscard]] Frame buildFrame(std::uint8_t command, std::uint16_t offset,
                               std::span<const std::uint8_t> payload);
// A fresh sealed frame asking for length bytes at offset, without payload.
[[nodiscard]] Frame buildReadFrame(std::uint8_t command, std::uint16_t offset, std::uint8_t length);
// Rewrites length, offset and payload of a frame kept across chunks and re-seals it. Bytes
// past a short payload keep what the previous chunk left: the device checks them in the sum.
void rewriteChunk(Frame& frame, std::uint16_t offset, std::span<const std::uint8_t> payload);
// The same for a read chunk: length and offset only.
void rewriteReadChunk(Frame& frame, std::uint16_t offset, std::uint8_t length);

[[nodiscard]] std::uint16_t frameOffset(std::span<const std::uint8_t, kFrameSize> frame);

// Copies a request into a whole frame: zero-padded when shorter, cut at 64 when longer.
[[nodiscard]] Frame padToFrame(std::span<const std::uint8_t> bytes);

// What one read of an exchange means for the request that was sent.
enum class ReplyMatch { Answer, ReceiverAsleep, Other };
// An answer echoes the request's command, length and offset: another program's reply, or a
// late one to an earlier chunk of the same command, differs in one of them. The echo is
// tested before the receiver's 0xAA, so command 0xAA's own answer matches.
[[nodiscard]] ReplyMatch matchReply(const Frame& request, std::span<const std::uint8_t> reply,
                                    bool receiverMode);

// "07@336+56": a frame's command, offset and length, for trace lines.
[[nodiscard]] std::string describeHeader(std::span<const std::uint8_t> frame);

// A command's result from its exchange's result and the reply's status byte.
[[nodiscard]] Status mapReply(Status exchange, std::span<const std::uint8_t> reply);

// One half of a frame as a trace line: 32 bytes in lower-case hex, grouped by four, groups
// separated by three spaces in the first half of the line and two in the second.
[[nodiscard]] std::wstring traceLine(std::span<const std::uint8_t, kFrameSize / 2> bytes);

} // namespace protocol
