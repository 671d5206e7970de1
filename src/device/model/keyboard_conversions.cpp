#include "device/model/keyboard_conversions.h"

#include "device/key_positions.h"
#include "profile/key_codes.h"

#include <algorithm>

namespace model {
namespace {

using protocol::kKeyEntrySize;

bool matches(std::span<const std::uint8_t> layout, std::size_t slot, const device::KeyCode& code)
{
    const std::size_t at = kKeyEntrySize * slot;
    return at + 2 < layout.size() && layout[at] == code.type && layout[at + 1] == code.p1 &&
           layout[at + 2] == code.p2;
}

// Numbers macro references in position order, the way the key map and the macro block
// must agree on them.
class MacroNumbering {
public:
    explicit MacroNumbering(std::size_t macroCount) : m_count(macroCount) {}

    bool isKnown(const profile::KeyFunctionCode& code) const
    {
        return profile::isMacroCode(code) && code.p1 < m_count;
    }
    int numberOf(int libraryIndex)
    {
        const auto found = std::find(m_macros.begin(), m_macros.end(), libraryIndex);
        if (found != m_macros.end())
            return int(found - m_macros.begin());
        m_macros.push_back(libraryIndex);
        return int(m_macros.size()) - 1;
    }
    std::vector<int> take() { return std::move(m_macros); }

private:
    std::size_t m_count;
    std::vector<int> m_macros;
};

// The positions a key list can speak for: those with a slot and an entry in the list.
template <class Visit>
void forEachMappedKey(std::span<const profile::KeyAssignment> keys,
                      const PositionMap& positionToSlot, Visit&& visit)
{
    const std::size_t count = std::min({keys.size(), positionToSlot.size(), kKeyboardPositions});
    for (std::size_t position = 0; position < count; ++position) {
        const std::uint8_t slot = positionToSlot[position];
        if (slot == kUnmapped || slot >= kMaxKeySlots)
            continue;
        visit(keys[position], slot);
    }
}

} // namespace

PositionMaps buildPositionMaps(std::span<const std::uint8_t> keyLayout,
                               std::span<const std::uint8_t> ledMap, std::size_t slotCount)
{
    PositionMaps maps;
    // A device may claim more slots than a block holds; the copies end at the block.
    const std::size_t slots = std::min(slotCount, kMaxKeySlots);
    for (std::size_t position = 0; position < kKeyboardPositions; ++position) {
        for (std::size_t slot = 0; slot < slots; ++slot) {
            if (!matches(keyLayout, slot, device::kFactoryKeyCodes[position]))
                continue;
            maps.toSlot[position] = std::uint8_t(slot);
            if (slot < ledMap.size())
                maps.toLed[position] = ledMap[slot];
            break;
        }
    }
    return maps;
}

KeyMapBuild buildKeyMap(std::span<const std::uint8_t> layout,
                        std::span<const profile::KeyAssignment> keys,
                        const PositionMap& positionToSlot, std::size_t macroCount)
{
    KeyMapBuild build;
    std::copy_n(layout.begin(), std::min(layout.size(), build.block.size()), build.block.begin());
    MacroNumbering numbering(macroCount);
    forEachMappedKey(keys, positionToSlot,
                     [&](const profile::KeyAssignment& key, std::size_t slot) {
                         profile::KeyFunctionCode code = key.current;
                         if (numbering.isKnown(code))
                             code.p1 = std::uint8_t(numbering.numberOf(code.p1));
                         else if (profile::isMacroCode(code))
                             code = key.defaultCode;
                         const std::size_t at = kKeyEntrySize * slot;
                         build.block[at] = code.type;
                         build.block[at + 1] = code.p1;
                         build.block[at + 2] = code.p2;
                     });
    build.macros = numbering.take();
    return build;
}

std::vector<int> collectMacros(std::span<const profile::KeyAssignment> keys,
                               const PositionMap& positionToSlot, std::size_t macroCount)
{
    MacroNumbering numbering(macroCount);
    forEachMappedKey(keys, positionToSlot, [&](const profile::KeyAssignment& key, std::size_t) {
        if (numbering.isKnown(key.current))
            (void)numbering.numberOf(key.current.p1);
    });
    return numbering.take();
}

protocol::SlotRecord buildSlotRecord(const profile::LightInfo& light,
                                     const profile::KeyboardSystemStages& stages,
                                     std::uint8_t active, const profile::LightPresets& presets)
{
    protocol::SlotRecord record{};
    record[0] = active;
    record[1] = std::uint8_t(profile::effectCodeForMode(presets, light.mode));
    record[2] = light.brightness;
    // The device counts speed the other way round; stored bytes wrap as they always did.
    record[3] = std::uint8_t(4 - light.speed);
    record[4] = light.direction;
    record[5] = light.multiColour;
    record[6] = light.red;
    record[7] = light.green;
    record[8] = light.blue;
    record[18] = light.subMode;
    record[19] = std::uint8_t(stages.wFlag);
    record[20] = std::uint8_t(stages.key6Flag);
    record[21] = std::uint8_t(stages.winFlag);
    record[22] = std::uint8_t(stages.pollingRate);
    record[25] = light.customGroup;
    return record;
}

SlotReadBack readSlotRecord(const protocol::SlotRecord& record,
                            const profile::LightPresets& presets)
{
    SlotReadBack back;
    back.state[state::kActiveSlot] = record[0];
    back.state[state::kMode] = std::uint8_t(profile::modeForEffectCode(presets, record[1]));
    back.state[state::kBrightness] = record[2];
    back.state[state::kSpeed] = std::uint8_t(4 - record[3]);
    back.state[state::kVariant] = record[4];
    back.state[state::kMultiColour] = record[5];
    back.state[state::kRed] = record[6];
    back.state[state::kGreen] = record[7];
    back.state[state::kBlue] = record[8];
    back.state[state::kSubMode] = record[18];
    back.state[state::kCustomGroup] = record[25];
    back.wFlag = record[19];
    back.key6Flag = record[20];
    back.winFlag = record[21];
    return back;
}

protocol::KeyBlock customColourBlock(std::span<const profile::RgbaColour> colours,
                                     const PositionMap& positionToLed)
{
    protocol::KeyBlock block{};
    const std::size_t count = std::min({colours.size(), positionToLed.size(), kKeyboardPositions});
    for (std::size_t light = 0; light < count; ++light) {
        const std::size_t led = positionToLed[light];
        // The LED map comes from the device; an LED past the block has no bytes to take.
        if (led == kUnmapped || kKeyEntrySize * led + 2 >= block.size())
            continue;
        block[kKeyEntrySize * led] = colours[light].red;
        block[kKeyEntrySize * led + 1] = colours[light].green;
        block[kKeyEntrySize * led + 2] = colours[light].blue;
    }
    return block;
}

} // namespace model
