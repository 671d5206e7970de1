#include "device/model/keyboard_conversions.h"

#include "device/key_positions.h"
#include "profile/key_codes.h"

#include <gtest/gtest.h>

#include <vector>

using model::kUnmapped;

namespace {

// A layout with the factory code of every position at slot = position, LED = position.
struct Layout {
    protocol::KeyBlock keys{};
    protocol::KeyBlock leds{};

    Layout()
    {
        for (std::size_t p = 0; p < device::kKeyPositionCount; ++p)
            put(p, device::kFactoryKeyCodes[p]);
        for (std::size_t slot = 0; slot < leds.size(); ++slot)
            leds[slot] = std::uint8_t(slot);
    }
    void put(std::size_t slot, device::KeyCode code)
    {
        keys[3 * slot] = code.type;
        keys[3 * slot + 1] = code.p1;
        keys[3 * slot + 2] = code.p2;
    }
};

std::vector<profile::KeyAssignment> factoryKeys()
{
    std::vector<profile::KeyAssignment> keys(device::kKeyPositionCount);
    for (std::size_t p = 0; p < keys.size(); ++p) {
        const auto code = device::kFactoryKeyCodes[p];
        keys[p].current = keys[p].defaultCode =
            profile::makeCode(code.type, code.p1, code.p2, std::uint16_t(p));
    }
    return keys;
}

profile::KeyFunctionCode macroCode(std::uint8_t index)
{
    return profile::makeCode(profile::typeByte(profile::KeyFunctionType::MacroMode), index, 1);
}

} // namespace

TEST(KeyboardPositionMaps, EscFoundInSlotFiveIsWrittenAtBytesFifteenToSeventeen)
{
    Layout layout;
    layout.put(0, {0x20, 0x00, 0x3A}); // F1 where Esc was
    layout.put(5, {0x20, 0x00, 0x29}); // Esc in slot 5
    layout.leds[5] = 77;
    const auto maps = model::buildPositionMaps(layout.keys, layout.leds, 126);
    EXPECT_EQ(maps.toSlot[0], 5);
    EXPECT_EQ(maps.toLed[0], 77);

    auto keys = factoryKeys();
    keys[0].current = profile::makeCode(0x20, 0x01, 0x06, 0); // Ctrl+C
    const auto build = model::buildKeyMap(layout.keys, keys, maps.toSlot, 0);
    EXPECT_EQ(build.block[15], 0x20);
    EXPECT_EQ(build.block[16], 0x01);
    EXPECT_EQ(build.block[17], 0x06);
}

TEST(KeyboardPositionMaps, AbsentCodesStayUnmappedAndEmptyCodesTakeTheFirstEmptySlot)
{
    Layout layout;
    layout.put(40, {0x11, 0x22, 0x33}); // position 40's code is nowhere now
    layout.put(2, {0x20, 0x00, 0x00});  // an empty slot before the empty positions' own
    const auto maps = model::buildPositionMaps(layout.keys, layout.leds, 126);
    EXPECT_EQ(maps.toSlot[40], kUnmapped);
    EXPECT_EQ(maps.toLed[40], kUnmapped);
    for (const std::size_t empty : {18, 19, 20})
        EXPECT_EQ(maps.toSlot[empty], 2) << empty;
}

TEST(KeyboardPositionMaps, SlotCountsBeyondABlockLookOnlyAtTheBlock)
{
    // 255 claimed slots would reach byte 764 of a 512-byte copy.
    Layout layout;
    layout.put(0, {0, 0, 0});
    const auto maps = model::buildPositionMaps(layout.keys, std::span(layout.leds).first(100), 255);
    EXPECT_EQ(maps.toSlot[0], kUnmapped);
    EXPECT_EQ(maps.toSlot[125], 125);
    EXPECT_EQ(maps.toSlot[99], 99);
    EXPECT_EQ(maps.toLed[99], 99);
    EXPECT_EQ(maps.toLed[100], kUnmapped); // no LED map entry for that slot
}

TEST(KeyboardKeyMap, MacrosAreNumberedInPositionOrderAndCollectedOnce)
{
    Layout layout;
    const auto maps = model::buildPositionMaps(layout.keys, layout.leds, 126);
    auto keys = factoryKeys();
    keys[3].current = macroCode(7);
    keys[9].current = macroCode(2);
    keys[30].current = macroCode(7);
    const auto build = model::buildKeyMap(layout.keys, keys, maps.toSlot, 10);
    EXPECT_EQ(build.macros, (std::vector<int>{7, 2}));
    EXPECT_EQ(model::collectMacros(keys, maps.toSlot, 10), (std::vector<int>{7, 2}));
    EXPECT_EQ(build.block[3 * 3 + 1], 0);
    EXPECT_EQ(build.block[3 * 9 + 1], 1);
    EXPECT_EQ(build.block[3 * 30 + 1], 0);
    EXPECT_EQ(build.block[3 * 30], 0x70);
    EXPECT_EQ(build.block[3 * 30 + 2], 1);
}

TEST(KeyboardKeyMap, AMacroPastTheLibraryFallsBackToTheDefaultCode)
{
    Layout layout;
    const auto maps = model::buildPositionMaps(layout.keys, layout.leds, 126);
    auto keys = factoryKeys();
    keys[4].current = macroCode(3);
    const auto build = model::buildKeyMap(layout.keys, keys, maps.toSlot, 3);
    EXPECT_TRUE(build.macros.empty());
    EXPECT_EQ(build.block[12], 0x20);
    EXPECT_EQ(build.block[14], device::kFactoryKeyCodes[4].p2);
    // The key list itself is not changed by a write.
    EXPECT_EQ(keys[4].current, macroCode(3));
}

TEST(KeyboardKeyMap, PositionsPastAShortKeyListKeepTheLayout)
{
    Layout layout;
    const auto maps = model::buildPositionMaps(layout.keys, layout.leds, 126);
    auto keys = factoryKeys();
    keys.resize(10);
    keys[9].current = profile::makeCode(0x20, 0x00, 0x04);
    const auto build = model::buildKeyMap(layout.keys, keys, maps.toSlot, 0);
    EXPECT_EQ(build.block[29], 0x04);
    EXPECT_EQ(std::vector<std::uint8_t>(build.block.begin() + 30, build.block.end()),
              std::vector<std::uint8_t>(layout.keys.begin() + 30, layout.keys.end()));
}

TEST(KeyboardSlotRecord, WritesAndReadsTheConversionTable)
{
    profile::LightPresets presets;
    presets.effectCodes = {9,  1,  2,  3,  4,  5,  6,  7,  8,  10, 11, 12, 13, 14, 15, 16,
                           17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
    profile::LightInfo light;
    light.mode = 31; // past the table: entry 0
    light.brightness = 3;
    light.speed = 1;
    light.direction = 1;
    light.multiColour = 1;
    light.red = 0x10;
    light.green = 0x20;
    light.blue = 0x30;
    light.subMode = 4;
    light.customGroup = 2;
    profile::KeyboardSystemStages stages;
    stages.wFlag = 1;
    stages.key6Flag = 1;
    stages.pollingRate = 3;
    const auto record = model::buildSlotRecord(light, stages, 2, presets);
    const protocol::SlotRecord expected{2, 9, 3, 3, 1, 1, 0x10, 0x20, 0x30, 0, 0, 0, 0,
                                        0, 0, 0, 0, 0, 4, 1,    1,    0,    3, 0, 0, 2};
    EXPECT_EQ(record, expected);

    auto back = model::readSlotRecord(record, presets);
    EXPECT_EQ(back.state[model::state::kMode], 0);
    EXPECT_EQ(back.state[model::state::kSpeed], 1);
    EXPECT_EQ(back.state[model::state::kCustomGroup], 2);
    EXPECT_EQ(back.key6Flag, 1);
    EXPECT_EQ(back.winFlag, 0);

    protocol::SlotRecord deviceRecord{};
    deviceRecord[1] = 200; // no entry has it: the code stands
    deviceRecord[3] = 1;
    back = model::readSlotRecord(deviceRecord, presets);
    EXPECT_EQ(back.state[model::state::kMode], 200);
    EXPECT_EQ(back.state[model::state::kSpeed], 3);
}

TEST(KeyboardCustomColours, LightsGoToTheirLedAndLedsPastTheBlockAreSkipped)
{
    std::vector<profile::RgbaColour> colours(126, profile::RgbaColour{1, 2, 3, 0});
    model::PositionMap toLed(126, kUnmapped);
    toLed[0] = 10;
    toLed[1] = 170; // 3 × 170 + 2 = 512: one past the block
    toLed[2] = 254;
    const auto block = model::customColourBlock(colours, toLed);
    EXPECT_EQ(block[30], 1);
    EXPECT_EQ(block[31], 2);
    EXPECT_EQ(block[32], 3);
    EXPECT_EQ(std::count(block.begin(), block.end(), 0), int(block.size()) - 3);
}
