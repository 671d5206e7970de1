#include "devsim/keyboard_memory.h"

#include "devsim/key_positions.h"

#include "device/protocol/commands.h"
#include "device/usb_ids.h"

namespace devsim {
namespace {

constexpr std::array<std::string_view, kAreaCount> kAreaNames{
    "info", "layout", "ledmap", "keymap", "settings", "macros", "colours", "live", "power"};

constexpr AreaSizes kAreaSizes{kInfoSize,    kBlockSize,     kBlockSize,
                               kBlockSize,   kSettingsSize,  kMacroMemorySize,
                               kColoursSize, kLiveFrameSize, kPowerSize};

// Slot records are 26 bytes, 25 apart; the factory fills eight of them.
constexpr std::size_t kFactoryRecords = 8;
constexpr std::size_t kRecordStride = 25;

void fillInfo(std::span<std::uint8_t> info)
{
    info[0] = usb::kKeyboardCableProductId & 0xFF;
    info[1] = usb::kKeyboardCableProductId >> 8;
    info[2] = 0x02; // firmware 1.2
    info[3] = 0x01;
    info[4] = 0x01; // a keyboard
    info[protocol::kInfoKeySlotCount] = kKeySlotCount;
    info[protocol::kInfoMacroUnits] = kMacroUnits;
}

void fillKeys(std::span<std::uint8_t> layout, std::span<std::uint8_t> ledMap)
{
    const auto& codes = factoryKeyCodes();
    const auto& positions = slotPositions();
    for (std::size_t slot = 0; slot < kKeySlotCount; ++slot) {
        const std::uint8_t position = positions[slot];
        const KeyCode code = codes[position];
        layout[3 * slot] = code.type;
        layout[3 * slot + 1] = code.p1;
        layout[3 * slot + 2] = code.p2;
        // The LEDs are wired in key position order.
        ledMap[slot] = position;
    }
}

void fillSettings(std::span<std::uint8_t> settings)
{
    for (std::size_t record = 0; record < kFactoryRecords; ++record) {
        std::uint8_t* bytes = settings.data() + record * kRecordStride;
        bytes[1] = static_cast<std::uint8_t>(1 + record); // effect
        bytes[2] = 4;                                     // brightness
        bytes[3] = 2;                                     // speed, stored as 4 - speed
        bytes[6] = 0xFF;                                  // red
        bytes[7] = static_cast<std::uint8_t>(record * 32);
        bytes[8] = 0x40;
        bytes[22] = 1; // polling rate
    }
}

} // namespace

std::string_view areaName(Area area)
{
    return kAreaNames[static_cast<std::size_t>(area)];
}

std::optional<Area> areaNamed(std::string_view name)
{
    for (std::size_t i = 0; i < kAreaCount; ++i) {
        if (kAreaNames[i] == name)
            return static_cast<Area>(i);
    }
    return std::nullopt;
}

std::size_t areaSize(Area area)
{
    return kAreaSizes[static_cast<std::size_t>(area)];
}

KeyboardMemory::KeyboardMemory(const AreaSizes& sizes)
{
    for (std::size_t i = 0; i < kAreaCount; ++i)
        m_areas[i].assign(sizes[i], 0);
}

KeyboardMemory::KeyboardMemory() : KeyboardMemory(kAreaSizes)
{
    fillInfo(area(Area::Info));
    fillKeys(area(Area::KeyLayout), area(Area::LedMap));
    // The key map starts as the factory layout: every key does what its cap says.
    const auto layout = area(Area::KeyLayout);
    std::copy(layout.begin(), layout.end(), area(Area::KeyMap).begin());
    fillSettings(area(Area::Settings));
    auto power = area(Area::Power);
    power[0] = 85; // battery percent
}

std::uint8_t KeyboardMemory::keySlotCount() const
{
    return area(Area::Info)[protocol::kInfoKeySlotCount];
}

std::uint8_t KeyboardMemory::activeSlot() const
{
    return area(Area::Settings)[0];
}

} // namespace devsim
