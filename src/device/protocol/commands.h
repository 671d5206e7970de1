#pragma once

#include <cstddef>
#include <cstdint>

namespace protocol {

// Command ids carried in byte 3 of a frame; the device side shares them.
namespace command {
inline constexpr std::uint8_t kBegin = 0x01;
inline constexpr std::uint8_t kEnd = 0x02;
inline constexpr std::uint8_t kReadInfo = 0x03;
inline constexpr std::uint8_t kReadSettings = 0x05;
inline constexpr std::uint8_t kWriteSettings = 0x06;
inline constexpr std::uint8_t kReadKeyLayout = 0x07;
inline constexpr std::uint8_t kWriteKeyMap = 0x09;
inline constexpr std::uint8_t kWriteCustomColours = 0x0B;
inline constexpr std::uint8_t kLiveColours = 0x12;
inline constexpr std::uint8_t kWriteMacros = 0x15;
inline constexpr std::uint8_t kWriteShootData = 0x17;
inline constexpr std::uint8_t kReadPower = 0x1A;
inline constexpr std::uint8_t kReadLedMap = 0x1B;
inline constexpr std::uint8_t kHostLighting = 0x1C;
inline constexpr std::uint8_t kLinkStatus = 0xAA;
} // namespace command

// Memory sizes both sides agree on.
inline constexpr std::size_t kInfoBlockSize = 34;
inline constexpr std::size_t kKeyEntrySize = 3;   // type, p1, p2 per key slot
inline constexpr std::size_t kMaxBlockSize = 512; // key layout / key map block limit
inline constexpr std::size_t kKeyMapBankStride = 512;
inline constexpr std::size_t kInfoKeySlotCount = 5; // info block byte: number of key slots
inline constexpr std::size_t kInfoMacroUnits = 6;   // info block byte: macro memory / 128
inline constexpr std::size_t kMacroMemoryUnit = 128;

} // namespace protocol
