#pragma once

// Everything the emulated keyboard keeps, as plain bytes, and its factory state. Other
// emulated devices keep the same areas with their own sizes and factory fill.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace devsim {

// The keyboard's memory areas. Each command reads or writes exactly one of them.
enum class Area { Info, KeyLayout, LedMap, KeyMap, Settings, Macros, Colours, LiveFrame, Power };
inline constexpr std::size_t kAreaCount = 9;

inline constexpr std::size_t kKeySlotCount = 126;
inline constexpr std::size_t kMacroUnits = 32;

// Sizes of the areas; offsets past them are refused by the device.
inline constexpr std::size_t kInfoSize = 34;
inline constexpr std::size_t kBlockSize = 512;
inline constexpr std::size_t kSettingsSize = 512;
inline constexpr std::size_t kMacroMemorySize = kMacroUnits * 128;
inline constexpr std::size_t kColourGroupStride = 512;
inline constexpr std::size_t kColoursSize = 0x10000; // 128 groups
inline constexpr std::size_t kLiveFrameSize = 384;   // 128 LEDs
inline constexpr std::size_t kPowerSize = 56;        // one reply's worth; 6 bytes are used

std::string_view areaName(Area area);
std::optional<Area> areaNamed(std::string_view name);
// The keyboard's area sizes.
std::size_t areaSize(Area area);

using AreaSizes = std::array<std::size_t, kAreaCount>;

class KeyboardMemory {
public:
    // The keyboard's factory state.
    KeyboardMemory();
    // Every area zero, in these sizes.
    explicit KeyboardMemory(const AreaSizes& sizes);

    std::span<std::uint8_t> area(Area area) { return m_areas[index(area)]; }
    std::span<const std::uint8_t> area(Area area) const { return m_areas[index(area)]; }

    std::uint8_t keySlotCount() const;
    std::uint8_t activeSlot() const;

    bool operator==(const KeyboardMemory&) const = default;

private:
    static std::size_t index(Area area) { return static_cast<std::size_t>(area); }

    std::array<std::vector<std::uint8_t>, kAreaCount> m_areas;
};

} // namespace devsim
