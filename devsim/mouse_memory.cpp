#include "devsim/mouse_memory.h"

#include "device/mouse_key_positions.h"
#include "device/protocol/mouse_sequences.h"
#include "device/usb_ids.h"

namespace devsim {
namespace record = protocol::mouse_record;

namespace {

constexpr std::size_t kMouseMacroUnits = 16;

constexpr AreaSizes kMouseAreaSizes{
    kInfoSize,
    kBlockSize,
    kBlockSize,
    kBlockSize,
    kMouseSlotRecords* protocol::kMouseRecordStride,
    kMouseMacroUnits * 128,
    kColourGroupStride, // one group: the mouse's lights are the host's picture only
    kLiveFrameSize,
    kPowerSize};

constexpr std::uint8_t kUnclaimed = 0xFF;

// Factory DPI stages: resolution and colour of each.
struct FactoryStage {
    std::uint16_t dpi;
    std::uint8_t red, green, blue;
};
constexpr FactoryStage kFactoryStages[] = {{400, 255, 0, 0},
                                           {800, 0, 255, 0},
                                           {1600, 0, 0, 255},
                                           {3200, 255, 255, 0},
                                           {6400, 255, 0, 255}};

void put16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void fillInfo(std::span<std::uint8_t> info)
{
    put16(info, 0, usb::kMouseCableProductId);
    info[2] = 0x05; // firmware 1.5
    info[3] = 0x01;
    info[4] = 0x02; // a mouse
    info[protocol::kInfoKeySlotCount] = kMouseKeySlotCount;
    info[protocol::kInfoMacroUnits] = kMouseMacroUnits;
    put16(info, protocol::kInfoSensorId, kMouseSensorId);
    info[protocol::kInfoDpiStep] = kMouseDpiStep;
    put16(info, protocol::kInfoDpiMaximum, kMouseDpiMaximum);
    put16(info, protocol::kInfoDpiBase, kMouseDpiBase);
}

void fillLayout(std::span<std::uint8_t> layout)
{
    const auto& positions = mouseSlotPositions();
    for (std::size_t slot = 0; slot < kMouseKeySlotCount; ++slot) {
        // The unclaimed slot holds a code of no button: the host must leave it alone.
        const device::KeyCode code = positions[slot] == kUnclaimed
                                         ? device::KeyCode{0x10, 0x20, 0x00}
                                         : device::kMouseFactoryKeyCodes[positions[slot]];
        layout[3 * slot] = code.type;
        layout[3 * slot + 1] = code.p1;
        layout[3 * slot + 2] = code.p2;
    }
}

void fillRecord(std::span<std::uint8_t> bytes, std::size_t slot)
{
    bytes[record::kEffect] = static_cast<std::uint8_t>(1 + slot);
    bytes[record::kBrightness] = 4;
    bytes[record::kSpeed] = 2;
    bytes[record::kVariant] = 1;
    bytes[record::kMultiColour] = 1;
    bytes[record::kRed] = 0xFF;
    bytes[record::kReportStage] = 3;
    bytes[record::kActiveDpiStage] = 1;
    for (std::size_t i = 0; i < std::size(kFactoryStages); ++i) {
        const std::size_t at = record::kDpiStages + i * record::kDpiStageSize;
        bytes[at] = 1;
        put16(bytes, at + 2, kFactoryStages[i].dpi);
        put16(bytes, at + 4, kFactoryStages[i].dpi);
        bytes[at + 6] = kFactoryStages[i].red;
        bytes[at + 7] = kFactoryStages[i].green;
        bytes[at + 8] = kFactoryStages[i].blue;
    }
    bytes[record::kCallerFlag] = 1;
    put16(bytes, record::kCallerWidth, 1920);
    put16(bytes, record::kCallerHeight, 1080);
    // Bytes 66-70 are the mouse's own (lift-off distance, sensor mode and the like): the
    // host reads them and never writes them.
    bytes[66] = 0x02;
    bytes[67] = 0x01;
}

} // namespace

const std::array<std::uint8_t, kMouseKeySlotCount>& mouseSlotPositions()
{
    static constexpr std::array<std::uint8_t, kMouseKeySlotCount> order{3, 0, 7, 1, kUnclaimed, 10,
                                                                        2, 5, 9, 4, 8,          6};
    return order;
}

KeyboardMemory mouseFactoryMemory()
{
    KeyboardMemory memory(kMouseAreaSizes);
    fillInfo(memory.area(Area::Info));
    fillLayout(memory.area(Area::KeyLayout));
    const auto layout = memory.area(Area::KeyLayout);
    std::copy(layout.begin(), layout.end(), memory.area(Area::KeyMap).begin());
    // No LEDs on the device's side: every slot says so.
    const auto ledMap = memory.area(Area::LedMap);
    std::fill_n(ledMap.begin(), kMouseKeySlotCount, std::uint8_t{0xFF});
    const auto settings = memory.area(Area::Settings);
    for (std::size_t slot = 0; slot < kMouseSlotRecords; ++slot)
        fillRecord(
            settings.subspan(slot * protocol::kMouseRecordStride, protocol::kMouseRecordReadSize),
            slot);
    memory.area(Area::Power)[0] = 70; // battery percent
    return memory;
}

} // namespace devsim
