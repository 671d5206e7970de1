#include "device/model/keyed_device_model.h"

#include "device/model/keyboard_conversions.h"
#include "profile/macro_library.h"

namespace model {

KeyedDeviceModel::KeyedDeviceModel(const KeyFamilyLayout& layout) : m_layout(layout)
{
    setPositionMaps(PositionMap(layout.positions, layout.noSlot),
                    PositionMap(layout.positions, kUnmapped));
}

std::size_t KeyedDeviceModel::macroCount()
{
    profile::MacroLibrary library(dataFolder());
    library.Load();
    m_macroLibraryReadable = library.isReadable();
    return library.count();
}

std::vector<int> KeyedDeviceModel::CollectMacros()
{
    return collectMacros(m_keys, positionToSlot(), macroCount());
}

protocol::Status KeyedDeviceModel::WriteKeyMap(int bank,
                                               const std::vector<profile::KeyAssignment>& keys)
{
    if (!channel().isOpen())
        return protocol::Status::NoReply;
    if (bank != 0)
        return protocol::Status::BankRefused;
    const KeyMapBuild build = buildKeyMap(keyLayoutBlock(), keys, positionToSlot(), macroCount());
    return m_layout.writeKeyMap(channel(), mutableInfo(), build.block);
}

protocol::Status KeyedDeviceModel::WriteProfileKeyMap(int bank)
{
    return WriteKeyMap(bank, m_keys);
}

protocol::MacroWrite KeyedDeviceModel::WriteMacros(const std::vector<int>& macros)
{
    profile::MacroLibrary library(dataFolder());
    library.Load();
    std::vector<protocol::Macro> block;
    block.reserve(macros.size());
    for (const int index : macros) {
        protocol::Macro macro;
        for (const profile::MacroEvent& event : library.LoadEvents(index))
            macro.events.push_back({event.delay, event.type, event.down, event.button});
        block.push_back(std::move(macro));
    }
    return m_layout.writeMacros(channel(), mutableInfo(), block);
}

void KeyedDeviceModel::DropStaleMacroKeys()
{
    LoadLightPresets();
    const std::size_t count = macroCount();
    // An index that cannot be read says nothing about which macros exist.
    if (!m_macroLibraryReadable || !profile::resetStaleMacroKeys(m_keys, count))
        return;
    if (profile::CBasicProfiledata* record = profileRecord())
        record->StoreKeyList(m_keys);
    view().keyLabelsChanged();
}

} // namespace model
