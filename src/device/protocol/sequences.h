#pragma once

// The command sequences the device objects run on raw blocks. Building the blocks from a
// profile, and what to do with what was read, is the device objects' business.

#include "device/protocol/commands.h"
#include "device/protocol/macro_block.h"
#include "device/protocol/status.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

class CDeviceProtocol;

namespace protocol {

using InfoBlock = std::array<std::uint8_t, kInfoBlockSize>;
using KeyBlock = std::array<std::uint8_t, kMaxBlockSize>;

inline constexpr std::size_t kSlotRecordSize = 26;
// Records are 26 bytes but 25 apart: each record's last byte is the next one's first.
inline constexpr std::size_t kSlotRecordStride = 25;
using SlotRecord = std::array<std::uint8_t, kSlotRecordSize>;

inline constexpr std::size_t kPowerBlockSize = 6;
inline constexpr std::size_t kPowerWirelessFlag = 3;
using PowerBlock = std::array<std::uint8_t, kPowerBlockSize>;

inline constexpr int kLinkCheckTries = 26;
inline constexpr std::chrono::milliseconds kLinkCheckWait{50};

// What the device holds about itself, as the full read leaves it.
struct DeviceBlocks {
    InfoBlock info{};
    KeyBlock keyLayout{};
    KeyBlock ledMap{};
};

enum class FullReadOutcome {
    NotOpen,          // nothing was sent
    BlockSizeRefused, // the device claims more key slots than a block holds; layout kept
    Completed,
};
struct FullReadResult {
    FullReadOutcome outcome = FullReadOutcome::NotOpen;
    Status firstFailure = Status::Ok; // the first command that did not give Ok, if any
};

// Begin, ReadInfo, block size from the key slot count, ReadKeyLayout, ReadLedMap, End.
// Individual command failures do not stop it, but a failed ReadInfo does (End still goes
// out, the blocks are left as they were); a refused block size does (before End).
[[nodiscard]] FullReadResult fullRead(CDeviceProtocol& channel, DeviceBlocks& blocks);

// ReadInfo into info, then Begin, WriteKeyMap (bank 0) of keyMap zero-filled to the block,
// End. End is sent whatever WriteKeyMap gave; the result is the first failure of Begin or
// WriteKeyMap, else Ok. Nothing is sent after ReadInfo when it fails (its status, info kept),
// when the channel is closed (NoReply), when the key slot count does not fit a block
// (NoReply), or when it is 0 (NothingToWrite).
[[nodiscard]] Status writeKeyMapBlock(CDeviceProtocol& channel, InfoBlock& info,
                                      std::span<const std::uint8_t> keyMap);

// What a macro block write came to.
struct MacroWrite {
    // The first of Begin and WriteMacros that failed (End still went out), else Ok.
    Status status = Status::Ok;
    // (total − capacity) / 4 + 1 when the block does not fit the macro memory; nothing sent.
    int overflow = 0;
    // The block would pass the 16-bit total; nothing sent.
    bool tooLarge = false;

    bool isWritten() const { return status == Status::Ok && overflow == 0 && !tooLarge; }
};

// ReadInfo (when open; its failure is the result, nothing sent), then Begin, WriteMacros and
// End when the block fits the device's macro memory. Nothing to write is written. On a closed
// channel only End is tried, and the result is NoReply.
[[nodiscard]] MacroWrite writeMacroBlock(CDeviceProtocol& channel, InfoBlock& info,
                                         std::span<const Macro> macros);

// Begin (when open), WriteSettings of the record at slot × 25, End. The first failure of
// Begin or WriteSettings, else Ok.
[[nodiscard]] Status writeSlotRecord(CDeviceProtocol& channel, std::size_t slot,
                                     const SlotRecord& record);

// The active slot index, then its record with byte 0 set to that index. The record is
// changed only when both reads succeed.
[[nodiscard]] Status readSlotRecord(CDeviceProtocol& channel, SlotRecord& record);

// Skipped (nullopt) when closed, paused or the receiver cannot reach the device, and on
// failure. Byte 3 says which link answered: 1 receiver, 0 cable.
enum class PowerPause { No, Yes };
[[nodiscard]] std::optional<PowerBlock> readPower(CDeviceProtocol& channel, PowerPause pause);

// After switching to the receiver: asks LinkStatus until true, at most 26 times, 50 ms apart.
[[nodiscard]] bool waitForReceiverLink(CDeviceProtocol& channel);

} // namespace protocol
