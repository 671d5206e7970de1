#include "pages/device_profile_ui.h"

#include "pages/find_by_name.h"
#include "ui/button_ui.h"
#include "ui/combo_ui.h"
#include "ui/list_ui.h"
#include "ui/paint_manager_ui.h"

namespace {

constexpr std::array<std::wstring_view, pages::kPanelTabCount> kTabNames = {
    L"deng_Op_tab",   L"key_Op_tab",        L"macro_Op_tab", L"system_Op_tab",
    L"cursor_Op_tab", L"6533_voice_Op_tab", L"magic_Op_tab", L"Virtual7.1_Op_tab",
};

} // namespace

CDeviceProfileUI::CDeviceProfileUI() = default;
CDeviceProfileUI::~CDeviceProfileUI() = default;

void* CDeviceProfileUI::GetInterface(std::wstring_view name)
{
    if (name == L"DeviceProfile")
        return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

void CDeviceProfileUI::SetInternVisible(bool visible)
{
    CHorizontalLayoutUI::SetInternVisible(visible);
    if (visible)
        syncCombo();
}

void CDeviceProfileUI::syncCombo()
{
    if (!m_model)
        return;
    if (CComboUI* list = combo(); list && list->GetCurSel() != m_model->selectedIndex())
        list->SelectItem(m_model->selectedIndex(), false, false);
}

void CDeviceProfileUI::SetPaths(std::filesystem::path folder,
                                std::filesystem::path defaultProfilePath)
{
    m_folder = std::move(folder);
    m_defaultProfilePath = std::move(defaultProfilePath);
}

CControlUI* CDeviceProfileUI::child(CControlUI*& slot, std::wstring_view name)
{
    if (!slot)
        slot = pages::findByName(this, name);
    // The page tabs stand beside the panel in the device page's tab row.
    if (!slot && GetParent())
        slot = pages::findByName(GetParent(), name);
    return slot;
}

CComboUI* CDeviceProfileUI::combo()
{
    CControlUI* control = child(m_combo, L"device_profile_combo");
    return control ? static_cast<CComboUI*>(control->GetInterface(L"Combo")) : nullptr;
}

std::optional<pages::PanelMessage> CDeviceProfileUI::Initialize()
{
    m_model = std::make_unique<pages::ProfilePanelModel>(m_kind, m_folder, m_defaultProfilePath);
    auto problem = m_model->initialize();
    if (!problem)
        problem = m_model->setAsideMessage();
    ShowList();
    const auto visibility = pages::ProfilePanelModel::tabVisibility(m_kind);
    for (std::size_t i = 0; i < kTabNames.size(); ++i) {
        if (visibility[i])
            if (CControlUI* tab = child(m_tabs[i], kTabNames[i]))
                tab->SetVisible(*visibility[i]);
    }
    return problem;
}

void CDeviceProfileUI::SelectTab(int tab)
{
    std::array<COptionUI*, pages::kPanelTabCount> options{};
    for (std::size_t i = 0; i < kTabNames.size(); ++i) {
        CControlUI* control = child(m_tabs[i], kTabNames[i]);
        options[i] = control ? static_cast<COptionUI*>(control->GetInterface(L"Option")) : nullptr;
        if (!options[i])
            return;
    }
    const auto selection = pages::ProfilePanelModel::tabSelection(tab);
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (selection[i])
            options[i]->Selected(*selection[i], false);
    }
}

std::wstring CDeviceProfileUI::GetNameText()
{
    CControlUI* edit = child(m_nameEdit, L"device_profile_name_edit");
    return edit ? std::wstring(edit->GetText()) : std::wstring();
}

void CDeviceProfileUI::SetNameText(const std::wstring& text)
{
    if (CControlUI* edit = child(m_nameEdit, L"device_profile_name_edit"))
        edit->SetText(text);
}

void CDeviceProfileUI::ShowMenu(bool show)
{
    if (CControlUI* menu = child(m_menu, L"profile_menu_layout"))
        menu->SetVisible(show);
    // The row beside the tabs holds either the commands or the list with the name.
    if (CControlUI* edit = child(m_editRow, L"profile_edit_layout"))
        edit->SetVisible(!show);
    // The combo could not take a selection while the commands hid it (New, Copy, Import
    // change the list there): without this it would come back blank.
    if (!show)
        syncCombo();
}

bool CDeviceProfileUI::IsMenuShown()
{
    CControlUI* menu = child(m_menu, L"profile_menu_layout");
    return menu && menu->IsVisible();
}

int CDeviceProfileUI::GetSelectedIndex()
{
    CComboUI* list = combo();
    return list ? list->GetCurSel() : -1;
}

std::wstring CDeviceProfileUI::GetCurrentProfileId() const
{
    return m_model ? m_model->currentProfileId() : std::wstring();
}

void CDeviceProfileUI::ShowList()
{
    if (!m_model)
        return;
    if (CComboUI* list = combo()) {
        list->RemoveAll();
        for (const std::wstring& name : m_model->items()) {
            auto* item = new CListLabelElementUI();
            item->SetText(name);
            list->Add(item);
        }
        list->SelectItem(m_model->selectedIndex(), false, false);
    }
    SetNameText(m_model->nameText());
}
