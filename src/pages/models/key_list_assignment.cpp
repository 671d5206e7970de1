#include "pages/models/key_list_assignment.h"

#include "device/model/keyboard_model.h"
#include "device/model/mouse_model.h"

namespace pages {

KeyListAssignment::KeyListAssignment(model::KeyboardModel& keyboard,
                                     std::function<void()> labelsChanged)
    : m_device(keyboard), m_keys([&keyboard]() -> const Keys& { return keyboard.keys(); }),
      m_setKeys([&keyboard](Keys keys) { keyboard.setKeys(std::move(keys)); }),
      m_storeKeys([&keyboard](const Keys& keys) { keyboard.profile().StoreKeyList(keys); }),
      m_labelsChanged(std::move(labelsChanged))
{
}

KeyListAssignment::KeyListAssignment(model::MouseModel& mouse, std::function<void()> labelsChanged)
    : m_device(mouse), m_keys([&mouse]() -> const Keys& { return mouse.keys(); }),
      m_setKeys([&mouse](Keys keys) { mouse.setKeys(std::move(keys)); }),
      m_storeKeys([&mouse](const Keys& keys) { mouse.profile().StoreKeyList(keys); }),
      m_labelsChanged(std::move(labelsChanged))
{
}

std::optional<profile::KeyAssignment> KeyListAssignment::selectKey(std::size_t position)
{
    const Keys& keys = m_keys();
    if (position >= keys.size()) {
        m_selected.reset();
        return std::nullopt;
    }
    m_selected = position;
    return keys[position];
}

std::optional<profile::KeyAssignment> KeyListAssignment::selectedAssignment() const
{
    const Keys& keys = m_keys();
    if (!m_selected || *m_selected >= keys.size())
        return std::nullopt;
    return keys[*m_selected];
}

void KeyListAssignment::storeSelectedKey(const profile::KeyAssignment& assignment)
{
    Keys keys = m_keys();
    // The list may have been reloaded (profile switch) since the key was selected.
    if (!m_selected || *m_selected >= keys.size())
        return;
    auto& entry = keys[*m_selected];
    // The same function again is no edit.
    if (entry.current == assignment.current && entry.defaultCode == assignment.defaultCode)
        return;
    entry = assignment;
    entry.current.keyIndex = static_cast<std::uint16_t>(*m_selected);
    entry.defaultCode.keyIndex = static_cast<std::uint16_t>(*m_selected);
    m_storeKeys(keys);
    m_setKeys(std::move(keys));
    if (m_labelsChanged)
        m_labelsChanged();
}

KeyMapWrite KeyListAssignment::writeKeys()
{
    return writeMacrosThenKeys(m_device);
}

bool KeyListAssignment::saveProfile()
{
    return m_device.CommitProfile() == model::ProfileResult::Ok;
}

} // namespace pages
