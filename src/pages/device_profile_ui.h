#pragma once

// The profile panel of a device page: the profile combo, the name edit, the command buttons
// and the page tabs. A thin view over ProfilePanelModel: it finds its controls by name on
// first use, shows the model's list and hands the commands to the model.

#include "pages/models/profile_panel_model.h"
#include "ui/container_ui.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class CComboUI;

class CDeviceProfileUI : public CHorizontalLayoutUI {
public:
    CDeviceProfileUI();
    ~CDeviceProfileUI() override;

    const wchar_t* GetClass() const override { return L"DeviceProfileUI"; }
    void* GetInterface(std::wstring_view name) override;
    // A combo row can only be selected while shown: the selection follows once it is.
    void SetInternVisible(bool visible = true) override;

    void SetDeviceKind(detect::DeviceKind kind) { m_kind = kind; }
    void SetPaths(std::filesystem::path folder, std::filesystem::path defaultProfilePath);
    // Reads the list, fills the combo and hides the tabs the device kind lacks; the message
    // when the list cannot be read.
    std::optional<pages::PanelMessage> Initialize();
    bool isInitialized() const { return m_model != nullptr; }

    // Marks tab `tab` (1-8) selected without notification.
    void SelectTab(int tab);
    std::wstring GetNameText();
    void SetNameText(const std::wstring& text);
    void ShowMenu(bool show);
    bool IsMenuShown();
    // The combo's selection; -1 without a combo or a selection.
    int GetSelectedIndex();
    std::wstring GetCurrentProfileId() const;

    // Null before Initialize.
    pages::ProfilePanelModel* model() { return m_model.get(); }
    // The combo and the name edit show the model's list and selection again.
    void ShowList();

private:
    CControlUI* child(CControlUI*& slot, std::wstring_view name);
    CComboUI* combo();
    // The combo selects the model's selection, once it is shown.
    void syncCombo();

    detect::DeviceKind m_kind = detect::DeviceKind::Keyboard;
    std::filesystem::path m_folder;
    std::filesystem::path m_defaultProfilePath;
    std::unique_ptr<pages::ProfilePanelModel> m_model;

    // Observed; owned by the tree. Resolved on first use.
    CControlUI* m_combo = nullptr;
    CControlUI* m_nameEdit = nullptr;
    CControlUI* m_menu = nullptr;
    CControlUI* m_editRow = nullptr;
    std::array<CControlUI*, pages::kPanelTabCount> m_tabs{};
};
