#include "pages/models/key_assignment_model.h"

#include "pages/models/change_result.h"
#include "profile/key_codes.h"

namespace pages {

using profile::KeyFunctionCode;
using profile::KeyFunctionType;
using profile::typeByte;

void KeyAssignmentModel::SetKey(const KeyFunctionCode& current, const KeyFunctionCode& def)
{
    m_current = current;
    m_default = def;
    m_current = profile::decodeKeyFunction(m_current, m_default, m_state);
}

void KeyAssignmentModel::ShowDefault()
{
    profile::decodeKeyFunction(m_default, m_default, m_state);
    m_state.category = static_cast<int>(profile::KeyFunctionCategory::Default);
}

void KeyAssignmentModel::ShowCurrent()
{
    m_current = profile::decodeKeyFunction(m_current, m_default, m_state);
}

profile::KeyAssignment KeyAssignmentModel::Encode()
{
    m_current = profile::encodeKeyFunction(m_state, m_current, m_default);
    return {m_current, m_default};
}

void KeyAssignmentModel::Apply()
{
    // A kind chosen before its value (a keyboard key not pressed yet) changes nothing:
    // storing it would empty the key.
    if (!namesAFunction())
        return;
    m_device.storeSelectedKey(Encode());
    m_buttonsEnabled = true;
}

bool KeyAssignmentModel::namesAFunction() const
{
    if (m_state.category != static_cast<int>(profile::KeyFunctionCategory::Keyboard))
        return true;
    const bool modifier = m_state.modifierOption >= 1 && m_state.modifierOption <= 4;
    return modifier || !m_state.keyText.empty();
}

void KeyAssignmentModel::SelectCategory(int category)
{
    m_state.category = category;
    if (category == static_cast<int>(profile::KeyFunctionCategory::Keyboard)) {
        m_state.keyText.clear();
        m_state.modifierOption = -1;
    }
    Apply();
}

void KeyAssignmentModel::SelectRepeat(int entry)
{
    m_state.repeatIndex = entry;
    m_state.cycleAreaVisible = entry == profile::kRepeatCountEntry;
    Apply();
}

void KeyAssignmentModel::RestoreDefault()
{
    ShowDefault();
    m_buttonsEnabled = true;
}

void KeyAssignmentModel::Cancel()
{
    ShowCurrent();
    m_buttonsEnabled = false;
}

bool KeyAssignmentModel::CaptureKey(std::uint8_t scanCode, bool extended,
                                    const std::wstring& displayName)
{
    const auto index = profile::keyForScanCode(scanCode, extended);
    const auto keys = profile::keyboardKeyTable();
    if (!index || *index >= keys.size() ||
        keys[*index].type != typeByte(KeyFunctionType::Keyboard)) {
        return false;
    }
    const auto& entry = keys[*index];
    KeyFunctionCode code = m_current;
    code.type = typeByte(KeyFunctionType::Keyboard);
    code.pad = 0;
    if (*index < 8) {
        m_state.modifierOption = profile::modifierOption(*index);
        Encode();
        m_state.keyText.clear();
        code.p1 = entry.p1;
        code.p2 = 0;
    } else {
        if (m_state.modifierOption < 0) {
            m_state.modifierOption = 0;
            code.p1 = 0;
        } else {
            code.p1 = Encode().current.p1;
        }
        m_state.keyText = displayName;
        code.p2 = entry.p2;
    }
    code.keyIndex = m_current.keyIndex;
    m_state.category = static_cast<int>(profile::KeyFunctionCategory::Keyboard);
    SetCurrent(code);
    Apply();
    return true;
}

std::vector<PanelMessage> KeyAssignmentModel::WriteOutcome::messages() const
{
    std::vector<PanelMessage> words;
    if (auto said = device.message())
        words.push_back(std::move(*said));
    if (saved == false) {
        ChangeResult save;
        save.save(model::ProfileResult::NotSaved);
        words.push_back(*changeMessage(save));
    }
    return words;
}

KeyAssignmentModel::WriteOutcome KeyAssignmentModel::WriteToDevice()
{
    WriteOutcome outcome{m_device.writeKeys(), std::nullopt};
    // Macros that do not fit end the write before anything is sent or saved.
    if (outcome.device.macros == MacroBlock::DoNotFit)
        return outcome;
    outcome.saved = m_device.saveProfile();
    // A key map the device did not take leaves the page dirty, so the user can try again.
    if (outcome.written())
        m_buttonsEnabled = false;
    return outcome;
}

} // namespace pages
