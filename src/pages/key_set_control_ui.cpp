#include "pages/key_set_control_ui.h"

#include "profile/key_codes.h"
#include "ui/button_ui.h"
#include "ui/combo_ui.h"
#include "ui/list_ui.h"

namespace {

constexpr std::array<std::wstring_view, 4> kButtonNames{L"key_butt_keydefalut", L"key_butt_keysave",
                                                        L"key_butt_keycancel", L"key_butt_prosave"};
enum Button : std::size_t { kDefault, kApply, kCancel, kWrite };

constexpr std::array<std::wstring_view, 9> kComboNames{
    L"keyset_mousekey_combo", L"keyset_mouseswing_combo", L"keyset_mousewheel_combo",
    L"keyset_mousedpi_combo", L"keyset_media_combo",      L"keyset_system_combo",
    L"keyset_macro_combo",    L"keyset_macro_over_combo", L"keyset_combokey_combo"};
enum Combo : std::size_t {
    kMouseKey,
    kSwingDirection,
    kWheelDirection,
    kDpi,
    kMedia,
    kSystem,
    kMacro,
    kRepeat,
    kComboKey
};

constexpr std::array<std::wstring_view, 10> kEditNames{
    L"keyset_mouseswing_num_edit",     L"keyset_mouseswing_delay_edit",
    L"keyset_mouseswing_speed_edit",   L"keyset_mousewheel_num_edit",
    L"keyset_mousewheel_delay_edit",   L"keyset_mousewheel_speed_edit",
    L"keyset_mousefire_interval_edit", L"keyset_mousefire_num_edit",
    L"keyset_keyboard_text_edit",      L"keyset_macro_cycle_edit"};
enum Edit : std::size_t {
    kSwingCount,
    kSwingDelay,
    kSwingSpeed,
    kWheelCount,
    kWheelDelay,
    kWheelSpeed,
    kFireInterval,
    kFireCount,
    kKeyText,
    kCycle
};

constexpr int kMacroItemHeight = 30;

template <class T> T* as(CControlUI* control, std::wstring_view interfaceName)
{
    return control ? static_cast<T*>(control->GetInterface(interfaceName)) : nullptr;
}

// Selects a combo row without a notification, also while the combo's tab is hidden: the
// library refuses rows it does not show, and the page decodes into every tab.
void selectRow(CComboUI* combo, int index)
{
    if (!combo)
        return;
    if (index < 0 || index >= combo->GetCount()) {
        combo->SelectItem(-1, false, false);
        return;
    }
    CControlUI* row = combo->GetItemAt(index);
    const bool shown = combo->IsVisible();
    row->SetInternVisible(true);
    if (!combo->SelectItem(index, false, false))
        combo->SelectItem(-1, false, false);
    row->SetInternVisible(shown);
}

int selectedRow(CComboUI* combo)
{
    return combo ? combo->GetCurSel() : -1;
}

} // namespace

// Hands key capture's events to the page while it lives; the window holds it weakly.
class CKeySetControlUI::CaptureClient final : public hook::HookClient {
public:
    explicit CaptureClient(CKeySetControlUI& page) : m_page(&page) {}
    void detach() { m_page = nullptr; }

    void onHookKey(UINT, WPARAM keyMessage, const hook::HookKeyboardEvent& event) override
    {
        // A key counts when it goes down; its release would only repeat it.
        if (m_page && keyMessage == WM_KEYDOWN)
            (void)m_page->CaptureKey(static_cast<std::uint8_t>(event.scanCode),
                                     (event.flags & hook::kKeyExtended) != 0);
    }

    void onHookInstalled(bool needsFocus) override
    {
        if (m_page)
            m_page->ShowCaptureScope(needsFocus);
    }

private:
    CKeySetControlUI* m_page;
};

CKeySetControlUI::CKeySetControlUI() : m_captureClient(std::make_shared<CaptureClient>(*this)) {}

CKeySetControlUI::~CKeySetControlUI()
{
    m_captureClient->detach();
}

std::shared_ptr<hook::HookClient> CKeySetControlUI::captureClient()
{
    return m_captureClient;
}

void* CKeySetControlUI::GetInterface(std::wstring_view name)
{
    if (name == L"KeySetControl")
        return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

void CKeySetControlUI::Bind()
{
    using pages::bindControl;
    m_area = bindControl(this, L"keyset_layout");
    m_hint = bindControl(this, L"keyset_hint_label");
    m_keyName = bindControl(this, L"keyset_key_name_label");
    m_functionCombo = bindControl<CComboUI>(this, L"keyset_function_combo", L"Combo");
    m_functionTabs = bindControl<CTabLayoutUI>(this, L"function_switch_tablayout", L"TabLayout");
    for (std::size_t i = 0; i < kButtonNames.size(); ++i)
        m_buttons[i] = pages::OfferedControl(bindControl(this, kButtonNames[i]));
    for (std::size_t i = 0; i < kComboNames.size(); ++i)
        m_combos[i] = bindControl(this, kComboNames[i]);
    for (std::size_t i = 0; i < kEditNames.size(); ++i)
        m_edits[i] = bindControl(this, kEditNames[i]);
    for (std::size_t i = 0; i < m_modifiers.size(); ++i)
        m_modifiers[i] =
            bindControl<COptionUI>(this, L"key_ComBox_check_" + std::to_wstring(i), L"Option");
    m_cycleArea = bindControl(this, L"keyset_macro_cycle_layout");
    m_textTest = bindControl(this, L"text_test");
    m_captureHint = bindControl(this, L"keyset_capture_hint_label");
    if (m_functionCombo) {
        for (int i = 0; i < m_functionCombo->GetCount(); ++i) {
            CControlUI* item = m_functionCombo->GetItemAt(i);
            if (profile::parseEditInteger(std::wstring(item->GetUserData())) ==
                static_cast<int>(profile::KeyFunctionCategory::Macro))
                m_macroFunction = pages::OfferedControl(item);
        }
    }
    m_bound = true;

    // A category chosen for the first time starts from usable values, not empty fields.
    for (const std::size_t slot : {kSwingDirection, kWheelDirection, kRepeat})
        selectRow(combo(slot), 0);
    for (const std::size_t slot : {kSwingCount, kWheelCount, kFireCount, kCycle})
        if (editText(slot).empty())
            setEditText(slot, L"1");
    for (const std::size_t slot :
         {kSwingDelay, kSwingSpeed, kWheelDelay, kWheelSpeed, kFireInterval})
        if (editText(slot).empty())
            setEditText(slot, L"0");
}

void CKeySetControlUI::SetVisible(bool visible)
{
    CHorizontalLayoutUI::SetVisible(visible);
    noteShown();
}

void CKeySetControlUI::SetInternVisible(bool visible)
{
    CHorizontalLayoutUI::SetInternVisible(visible);
    noteShown();
}

void CKeySetControlUI::noteShown()
{
    if (m_shown == IsVisible())
        return;
    m_shown = IsVisible();
    if (m_shownChanged)
        m_shownChanged(m_shown);
}

void CKeySetControlUI::SetDeviceKind(detect::DeviceKind kind)
{
    if (kind == detect::DeviceKind::Mouse && m_buttons[kWrite]) {
        m_buttons[kWrite].get()->SetText(L"keyset_write_mouse_text");
        m_buttons[kWrite].setTip(L"keyset_write_mouse_tip_text");
    }
    if (kind != detect::DeviceKind::Keyboard || !m_functionCombo)
        return;
    for (int i = 0; i < m_functionCombo->GetCount(); ++i) {
        CControlUI* item = m_functionCombo->GetItemAt(i);
        const int category = profile::parseEditInteger(std::wstring(item->GetUserData()));
        if (category == static_cast<int>(profile::KeyFunctionCategory::MouseDpi) ||
            category == static_cast<int>(profile::KeyFunctionCategory::GunKey))
            item->SetVisible(false);
    }
}

void CKeySetControlUI::SetOffers(const pages::KeyPageOffers& offers)
{
    m_offers = offers;
    m_buttons[kDefault].show(m_offers.keys);
    SetButtonsEnabled(m_buttonsAllowed);
    m_macroFunction.show(m_offers.macro);
}

void CKeySetControlUI::SetDevice(pages::KeyAssignmentDevice& device)
{
    auto model = std::make_unique<pages::KeyAssignmentModel>(device);
    if (m_model)
        model->state() = m_model->state();
    m_model = std::move(model);
}

void CKeySetControlUI::ShowArea(bool show)
{
    if (m_area)
        m_area->SetVisible(show);
    // The hint says how to get the editing area; it makes way for it.
    if (m_hint)
        m_hint->SetVisible(!show);
}

bool CKeySetControlUI::isAreaShown() const
{
    return m_area && m_area->IsVisible();
}

CComboUI* CKeySetControlUI::combo(std::size_t slot) const
{
    return as<CComboUI>(m_combos[slot], L"Combo");
}

std::wstring CKeySetControlUI::editText(std::size_t slot) const
{
    return m_edits[slot] ? std::wstring(m_edits[slot]->GetText()) : std::wstring();
}

void CKeySetControlUI::setEditText(std::size_t slot, const std::wstring& text)
{
    if (m_edits[slot] && std::wstring(m_edits[slot]->GetText()) != text)
        m_edits[slot]->SetText(text);
}

std::wstring CKeySetControlUI::translate(std::wstring_view id)
{
    if (!m_textTest || id.empty())
        return std::wstring(id);
    m_textTest->SetResourceText(true);
    m_textTest->SetText(id);
    return std::wstring(m_textTest->GetText());
}

void CKeySetControlUI::readControls()
{
    if (!m_model)
        return;
    profile::KeyPageState& state = m_model->state();
    state.category = -1;
    if (m_functionCombo) {
        const int row = m_functionCombo->GetCurSel();
        if (CControlUI* item = row >= 0 ? m_functionCombo->GetItemAt(row) : nullptr) {
            const std::wstring data(item->GetUserData());
            if (!data.empty())
                state.category = profile::parseEditInteger(data);
        }
    }
    state.mouseKeyIndex = selectedRow(combo(kMouseKey));
    state.swingDirection = selectedRow(combo(kSwingDirection));
    state.wheelDirection = selectedRow(combo(kWheelDirection));
    state.dpiIndex = selectedRow(combo(kDpi));
    state.mediaIndex = selectedRow(combo(kMedia));
    state.systemIndex = selectedRow(combo(kSystem));
    state.macroIndex = selectedRow(combo(kMacro));
    state.macroItemCount = combo(kMacro) ? combo(kMacro)->GetCount() : 0;
    state.repeatIndex = selectedRow(combo(kRepeat));
    state.comboKeyIndex = selectedRow(combo(kComboKey));
    state.swingCount = editText(kSwingCount);
    state.swingDelay = editText(kSwingDelay);
    state.swingSpeed = editText(kSwingSpeed);
    state.wheelCount = editText(kWheelCount);
    state.wheelDelay = editText(kWheelDelay);
    state.wheelSpeed = editText(kWheelSpeed);
    state.fireInterval = editText(kFireInterval);
    state.fireCount = editText(kFireCount);
    state.cycleText = editText(kCycle);
    // The edit shows the key's name in the current language; the state keeps its id.
    const std::wstring shown = editText(kKeyText);
    if (shown != translate(state.keyText))
        state.keyText = shown;
    state.modifierOption = SelectedModifier();
}

void CKeySetControlUI::showState()
{
    if (!m_model)
        return;
    const profile::KeyPageState& state = m_model->state();
    selectRow(combo(kMouseKey), state.mouseKeyIndex);
    selectRow(combo(kSwingDirection), state.swingDirection);
    selectRow(combo(kWheelDirection), state.wheelDirection);
    selectRow(combo(kDpi), state.dpiIndex);
    selectRow(combo(kMedia), state.mediaIndex);
    selectRow(combo(kSystem), state.systemIndex);
    selectRow(combo(kMacro), state.macroIndex);
    selectRow(combo(kRepeat), state.repeatIndex);
    selectRow(combo(kComboKey), state.comboKeyIndex);
    setEditText(kSwingCount, state.swingCount);
    setEditText(kSwingDelay, state.swingDelay);
    setEditText(kSwingSpeed, state.swingSpeed);
    setEditText(kWheelCount, state.wheelCount);
    setEditText(kWheelDelay, state.wheelDelay);
    setEditText(kWheelSpeed, state.wheelSpeed);
    setEditText(kFireInterval, state.fireInterval);
    setEditText(kFireCount, state.fireCount);
    setEditText(kCycle, state.cycleText);
    setEditText(kKeyText, translate(state.keyText));
    SelectModifier(state.modifierOption);
    if (m_cycleArea)
        m_cycleArea->SetVisible(state.cycleAreaVisible);

    // The function item of the category; without one the page has nothing to show.
    int row = -1;
    if (m_functionCombo && state.category >= 0) {
        for (int i = 0; i < m_functionCombo->GetCount(); ++i) {
            if (profile::parseEditInteger(
                    std::wstring(m_functionCombo->GetItemAt(i)->GetUserData())) == state.category &&
                !m_functionCombo->GetItemAt(i)->GetUserData().empty()) {
                row = i;
                break;
            }
        }
    }
    if (row < 0) {
        ShowArea(false);
        return;
    }
    ShowArea(true);
    selectRow(m_functionCombo, row);
    if (m_functionTabs && state.category < m_functionTabs->GetCount())
        m_functionTabs->SelectItem(state.category);
}

void CKeySetControlUI::SetKey(const profile::KeyFunctionCode& current,
                              const profile::KeyFunctionCode& def)
{
    if (!m_model)
        return;
    readControls();
    m_model->SetKey(current, def);
    showState();
}

void CKeySetControlUI::ShowKeyName(const std::wstring& name)
{
    if (!m_keyName)
        return;
    std::wstring caption = translate(L"keyset_function_of_text");
    if (const auto at = caption.find(L"%s"); at != std::wstring::npos && !name.empty())
        caption.replace(at, 2, name);
    else
        caption = translate(L"keyset_function_text");
    m_keyName->SetResourceText(false);
    m_keyName->SetText(caption);
}

void CKeySetControlUI::ShowStoredKey()
{
    if (!m_model || !isAreaShown())
        return;
    const auto stored = m_model->device().selectedAssignment();
    if (!stored) {
        ShowArea(false);
        return;
    }
    const profile::KeyFunctionCode& shown = m_model->current();
    if (stored->current.type == shown.type && stored->current.p1 == shown.p1 &&
        stored->current.p2 == shown.p2)
        return;
    SetKey(stored->current, stored->defaultCode);
    SetButtonsEnabled(false);
}

void CKeySetControlUI::ShowDefault()
{
    if (!m_model)
        return;
    readControls();
    m_model->ShowDefault();
    showState();
}

void CKeySetControlUI::ShowCurrent()
{
    if (!m_model)
        return;
    readControls();
    m_model->ShowCurrent();
    showState();
}

void CKeySetControlUI::FillMacros(const std::vector<std::wstring>& names)
{
    CComboUI* list = combo(kMacro);
    if (!list)
        return;
    list->RemoveAll();
    for (const auto& name : names)
        AddMacro(name);
    list->SelectItem(-1, false, false);
}

void CKeySetControlUI::AddMacro(const std::wstring& name)
{
    CComboUI* list = combo(kMacro);
    if (!list)
        return;
    auto* item = new CListLabelElementUI();
    item->SetText(name);
    item->SetFixedHeight(kMacroItemHeight);
    list->Add(item);
}

void CKeySetControlUI::RemoveMacro(int index)
{
    CComboUI* list = combo(kMacro);
    if (list && index >= 0 && index < list->GetCount())
        list->RemoveAt(index);
}

void CKeySetControlUI::RenameMacro(int index, const std::wstring& name)
{
    CComboUI* list = combo(kMacro);
    if (list && index >= 0 && index < list->GetCount() && !name.empty())
        list->GetItemAt(index)->SetText(name);
}

void CKeySetControlUI::SelectModifier(int n)
{
    for (std::size_t i = 0; i < m_modifiers.size(); ++i) {
        if (m_modifiers[i])
            m_modifiers[i]->Selected(static_cast<int>(i) == n, false);
    }
}

int CKeySetControlUI::SelectedModifier() const
{
    for (std::size_t i = 0; i < m_modifiers.size(); ++i) {
        if (m_modifiers[i] && m_modifiers[i]->IsSelected())
            return static_cast<int>(i);
    }
    return -1;
}

void CKeySetControlUI::ShowCaptureScope(bool windowOnly)
{
    if (CControlUI* hint = m_captureHint)
        hint->SetText(windowOnly ? L"keyset_capture_focus_text" : L"keyset_capture_hint_text");
}

void CKeySetControlUI::SetButtonsEnabled(bool enabled)
{
    m_buttonsAllowed = enabled;
    for (const std::size_t which : {kApply, kCancel, kWrite})
        m_buttons[which].show(m_offers.keys, enabled);
}

void CKeySetControlUI::Apply()
{
    if (!m_model)
        return;
    readControls();
    m_model->Apply();
    showState();
    SetButtonsEnabled(m_model->buttonsEnabled());
}

void CKeySetControlUI::RefreshTexts()
{
    // The state holds text ids; what the controls show is in the old language.
    if (m_model && isAreaShown())
        showState();
}

void CKeySetControlUI::CategorySelected()
{
    if (!m_model)
        return;
    readControls();
    m_model->SelectCategory(m_model->state().category);
    showState();
    SetButtonsEnabled(m_model->buttonsEnabled());
}

void CKeySetControlUI::RepeatSelected()
{
    if (!m_model)
        return;
    readControls();
    m_model->SelectRepeat(m_model->state().repeatIndex);
    showState();
    SetButtonsEnabled(m_model->buttonsEnabled());
}

void CKeySetControlUI::ModifierSelected(int n)
{
    SelectModifier(n);
    Apply();
}

void CKeySetControlUI::RestoreDefault()
{
    if (!m_model)
        return;
    readControls();
    m_model->RestoreDefault();
    showState();
    SetButtonsEnabled(m_model->buttonsEnabled());
}

void CKeySetControlUI::Cancel()
{
    if (!m_model)
        return;
    readControls();
    m_model->Cancel();
    showState();
    SetButtonsEnabled(m_model->buttonsEnabled());
}

std::optional<pages::KeyAssignmentModel::WriteOutcome> CKeySetControlUI::WriteToDevice()
{
    if (!m_model)
        return std::nullopt;
    auto outcome = m_model->WriteToDevice();
    SetButtonsEnabled(m_model->buttonsEnabled());
    return outcome;
}

bool CKeySetControlUI::CaptureKey(std::uint8_t scanCode, bool extended)
{
    if (!m_model)
        return false;
    readControls();
    // The state keeps the name id; showState() puts it into the current language.
    const auto index = profile::keyForScanCode(scanCode, extended);
    const std::wstring nameId(index ? profile::keyboardKeyNameId(*index) : std::wstring_view());
    const bool taken = m_model->CaptureKey(scanCode, extended, nameId);
    if (taken) {
        showState();
        SetButtonsEnabled(m_model->buttonsEnabled());
    }
    return taken;
}
