#pragma once

// The keyboard's conversions between its profile and its device blocks, on plain data:
// the position maps from a full read, the key map and the macro list from a key list, the
// slot record both ways and the custom colour block.

#include "device/model/usb_device_model.h"
#include "device/protocol/sequences.h"
#include "profile/key_function_code.h"
#include "profile/light_info.h"
#include "profile/light_presets.h"
#include "profile/system_stages.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace model {

inline constexpr std::size_t kKeyboardPositions = 126;
inline constexpr std::size_t kKeyboardKeyCount = 170;
inline constexpr std::size_t kKeyboardLightCount = 170;
// A 512-byte block holds at most 170 three-byte key slots.
inline constexpr std::size_t kMaxKeySlots = protocol::kMaxBlockSize / protocol::kKeyEntrySize;
inline constexpr std::uint8_t kCustomMode = 20;

struct PositionMaps {
    PositionMap toSlot = PositionMap(kKeyboardPositions, kUnmapped);
    PositionMap toLed = PositionMap(kKeyboardPositions, kUnmapped);
};

// Position p maps to the first key slot whose code equals p's factory code, and to that
// slot's LED. Only min(slotCount, 170) slots are looked at.
[[nodiscard]] PositionMaps buildPositionMaps(std::span<const std::uint8_t> keyLayout,
                                             std::span<const std::uint8_t> ledMap,
                                             std::size_t slotCount);

// The key map for a key list: the layout copied in, then every mapped position's code at
// 3 x slot. Macro codes whose library index is below macroCount carry the macro's number
// in the block (first use, in position order, appends); others fall back to the default
// code. Positions past the key list are left as the layout has them.
struct KeyMapBuild {
    protocol::KeyBlock block{};
    std::vector<int> macros; // library indices, in block order
};
[[nodiscard]] KeyMapBuild buildKeyMap(std::span<const std::uint8_t> layout,
                                      std::span<const profile::KeyAssignment> keys,
                                      const PositionMap& positionToSlot, std::size_t macroCount);

// The library indices of the macros keys refer to, as buildKeyMap numbers them.
[[nodiscard]] std::vector<int> collectMacros(std::span<const profile::KeyAssignment> keys,
                                             const PositionMap& positionToSlot,
                                             std::size_t macroCount);

// The device state record: byte 0 active slot, 1-8 mode index, brightness, speed, effect
// variant, multi-colour flag, red, green, blue; 21 ZZCCLedMode; 22 CustomGroup.
inline constexpr std::size_t kDeviceStateSize = 23;
using DeviceState = std::array<std::uint8_t, kDeviceStateSize>;
namespace state {
inline constexpr std::size_t kActiveSlot = 0;
inline constexpr std::size_t kMode = 1;
inline constexpr std::size_t kBrightness = 2;
inline constexpr std::size_t kSpeed = 3;
inline constexpr std::size_t kVariant = 4;
inline constexpr std::size_t kMultiColour = 5;
inline constexpr std::size_t kRed = 6;
inline constexpr std::size_t kGreen = 7;
inline constexpr std::size_t kBlue = 8;
inline constexpr std::size_t kSubMode = 21;
inline constexpr std::size_t kCustomGroup = 22;
} // namespace state

// The 26-byte record for the profile's lighting and system settings.
[[nodiscard]] protocol::SlotRecord buildSlotRecord(const profile::LightInfo& light,
                                                   const profile::KeyboardSystemStages& stages,
                                                   std::uint8_t active,
                                                   const profile::LightPresets& presets);

// What a slot record read back says: the device state and the three flags.
struct SlotReadBack {
    DeviceState state{};
    std::uint16_t wFlag = 0;
    std::uint16_t key6Flag = 0;
    std::uint16_t winFlag = 0;
};
[[nodiscard]] SlotReadBack readSlotRecord(const protocol::SlotRecord& record,
                                          const profile::LightPresets& presets);

// The custom colour block: light l's colour at 3 x LED for each light l < 126 with an LED.
[[nodiscard]] protocol::KeyBlock customColourBlock(std::span<const profile::RgbaColour> colours,
                                                   const PositionMap& positionToLed);

} // namespace model
