#pragma once

// The mouse's command sequences on raw blocks: its full read (no LED map), its slot records
// (71 bytes read, 66 written, 128 apart) and its information block fields. What goes into
// the blocks is the mouse model's business.

#include "device/protocol/sequences.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace protocol {

// Information block bytes only the mouse fills.
inline constexpr std::size_t kInfoSensorId = 9; // 16-bit little-endian
inline constexpr std::size_t kInfoDpiStep = 11;
inline constexpr std::size_t kInfoDpiMaximum = 12; // slider maximum, 16-bit little-endian
inline constexpr std::size_t kInfoDpiBase = 14;    // 16-bit little-endian

inline constexpr std::size_t kMouseRecordReadSize = 71;
inline constexpr std::size_t kMouseRecordWriteSize = 66;
inline constexpr std::size_t kMouseRecordStride = 128;
using MouseRecord = std::array<std::uint8_t, kMouseRecordReadSize>;

// Byte positions in a mouse slot record.
namespace mouse_record {
inline constexpr std::size_t kActiveSlot = 0;
inline constexpr std::size_t kEffect = 1;
inline constexpr std::size_t kBrightness = 2;
inline constexpr std::size_t kSpeed = 3; // stored as 4 - speed
inline constexpr std::size_t kVariant = 4;
inline constexpr std::size_t kMultiColour = 5;
inline constexpr std::size_t kRed = 6;
inline constexpr std::size_t kGreen = 7;
inline constexpr std::size_t kBlue = 8;
inline constexpr std::size_t kReportStage = 11;
inline constexpr std::size_t kActiveDpiStage = 12;
inline constexpr std::size_t kDpiStages = 14;
inline constexpr std::size_t kDpiStageSize = 9;
inline constexpr std::size_t kDpiStageCount = 5;
inline constexpr std::size_t kCallerFlag = 59;
inline constexpr std::size_t kCallerWidth = 60;  // 16-bit little-endian
inline constexpr std::size_t kCallerHeight = 62; // 16-bit little-endian
inline constexpr std::size_t kCorrectionMinSquare = 64;
inline constexpr std::size_t kCorrectionThreshold = 65;
} // namespace mouse_record

// In receiver mode the mouse is asked for only while the receiver reaches it; every sequence
// below checks first and gives ReceiverAsleep, with nothing else sent, when it does not.
[[nodiscard]] bool mouseReachable(CDeviceProtocol& channel);

// The mouse's full read: Begin, ReadInfo, block size from the key slot count, ReadKeyLayout,
// End. Unlike the keyboard's it stops at the first failing command (no End after it), so the
// caller keeps its previous layout; a refused block size stops it as well.
[[nodiscard]] FullReadResult mouseFullRead(CDeviceProtocol& channel, InfoBlock& info,
                                           KeyBlock& keyLayout);

// Begin, WriteSettings of the record's first 66 bytes at slot × 128, End; each only when the
// channel is open. The first failure of Begin or WriteSettings, else Ok; NoReply when closed.
[[nodiscard]] Status writeMouseRecord(CDeviceProtocol& channel, std::size_t slot,
                                      const MouseRecord& record);

// ReadInfo, which must succeed; then, when the fresh key slot count fits a block (NoReply
// and nothing more sent otherwise), Begin, WriteKeyMap (bank 0) of keyMap zero-filled to
// 3 × that count, End. The first failure of Begin or WriteKeyMap, else Ok.
[[nodiscard]] Status writeMouseKeyMap(CDeviceProtocol& channel, InfoBlock& info,
                                      std::span<const std::uint8_t> keyMap);

// writeMacroBlock after the receiver check (ReceiverAsleep, nothing sent, when it fails).
[[nodiscard]] MacroWrite writeMouseMacros(CDeviceProtocol& channel, InfoBlock& info,
                                          std::span<const Macro> macros);

// The recoil pattern block of these four patterns: Begin, WriteShootData, End, after the
// receiver check. Not held against the macro memory; a block past the 16-bit total is not
// sent (NoReply). The first failure of Begin or WriteShootData, else Ok.
[[nodiscard]] Status writeRecoilPattern(CDeviceProtocol& channel, std::span<const Macro> patterns);

// The active slot, then its 71-byte record with byte 0 set to it. The record changes only
// when both reads succeed.
[[nodiscard]] Status readMouseRecord(CDeviceProtocol& channel, MouseRecord& record);

} // namespace protocol
