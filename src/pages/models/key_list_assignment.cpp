#include "pages/models/keyboard_key_assignment.h"

#include "device/model/keyboard_model.h"

namespace pages {

KeyboardKeyAssignment::KeyboardKeyAssignment(model::KeyboardModel& keyboard,
                                             std::function<void()> labelsChanged)
    : m_keyboard(keyboard), m_labelsChanged(std::move(labelsChanged))
{
}

std::optional<profile::KeyAssignment> KeyboardKeyAssignment::selectKey(std::size_t position)
{
    const auto& keys = m_keyboard.keys();
    if (position >= keys.size()) {
        m_selected.reset();
        return std::nullopt;
    }
    m_selected = position;
    return keys[position];
}

void KeyboardKeyAssignment::storeSelectedKey(const profile::KeyAssignment& assignment)
{
    auto keys = m_keyboard.keys();
    // The list may have been reloaded (profile switch) since the key was selected.
    if (!m_selected || *m_selected >= keys.size())
        return;
    auto& entry = keys[*m_selected];
    entry = assignment;
    entry.current.keyIndex = static_cast<std::uint16_t>(*m_selected);
    entry.defaultCode.keyIndex = static_cast<std::uint16_t>(*m_selected);
    m_keyboard.profile().StoreKeyList(keys);
    m_keyboard.setKeys(std::move(keys));
    if (m_labelsChanged)
        m_labelsChanged();
}

int KeyboardKeyAssignment::writeUsedMacros()
{
    const std::vector<int> macros = m_keyboard.CollectMacros();
    const protocol::MacroWrite result = m_keyboard.WriteMacros(macros);
    if (const int shown = result.pageResult(); shown != 0)
        return shown;
    // A device that refused the block must not look as if it held the macros.
    if (!macros.empty() && result.status != protocol::Status::Ok)
        return -1;
    return 0;
}

int KeyboardKeyAssignment::writeKeyMap()
{
    const protocol::Status status = m_keyboard.WriteProfileKeyMap(0);
    return status == protocol::Status::Ok ? 1 : static_cast<int>(status);
}

bool KeyboardKeyAssignment::saveProfile()
{
    return m_keyboard.CommitProfile() == 0;
}

} // namespace pages
