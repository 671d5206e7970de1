#pragma once

// The key assignment page: the function selector with one tab per category, the controls of
// each category, the key capture edit and the apply, default, cancel and write buttons. A thin
// view over KeyAssignmentModel: it copies its controls into the model's page state, runs a
// step and shows the state again. Controls are found by name once, in Bind().

#include "device/detect/supported_interfaces.h"
#include "hook/hook_client.h"
#include "pages/control_binding.h"
#include "pages/models/key_assignment_model.h"
#include "pages/models/page_offers.h"
#include "ui/container_ui.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CComboUI;
class COptionUI;
class CTabLayoutUI;

class CKeySetControlUI : public CHorizontalLayoutUI {
public:
    CKeySetControlUI();
    ~CKeySetControlUI() override;

    const wchar_t* GetClass() const override { return L"KeySetControlUI"; }
    void* GetInterface(std::wstring_view name) override;

    void Bind();
    bool isBound() const { return m_bound; }
    // Told when the page comes into view or leaves it (tab or device switch), so that the
    // picture marks the edited key only while the page shows.
    void setShownChanged(std::function<void(bool shown)> changed)
    {
        m_shownChanged = std::move(changed);
    }
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    // A keyboard has no DPI or gun key categories; a mouse's write button names the mouse.
    void SetDeviceKind(detect::DeviceKind kind);
    // Offers only what the device has; a refused control says why in its tooltip.
    void SetOffers(const pages::KeyPageOffers& offers);
    // The device the page stores into; the page keeps its own model of the selected key.
    void SetDevice(pages::KeyAssignmentDevice& device);
    pages::KeyAssignmentModel* model() { return m_model.get(); }

    void ShowArea(bool show);
    bool isAreaShown() const;

    void SetKey(const profile::KeyFunctionCode& current, const profile::KeyFunctionCode& def);
    // Names the key being edited in the panel.
    void ShowKeyName(const std::wstring& name);
    // The key list was read again: shows the selected key's stored value when it differs from
    // what the page shows, dropping the page's unwritten state with the old list.
    void ShowStoredKey();
    void ShowDefault();
    void ShowCurrent();

    void FillMacros(const std::vector<std::wstring>& names);
    void AddMacro(const std::wstring& name);
    void RemoveMacro(int index);
    void RenameMacro(int index, const std::wstring& name);

    // Clears all five modifier options, then selects option n (none for -1).
    void SelectModifier(int n);
    // 0-4 of the first selected option, or -1.
    int SelectedModifier() const;
    void SetButtonsEnabled(bool enabled);
    // Says whether key capture sees the whole desktop or only this window while it has focus.
    void ShowCaptureScope(bool windowOnly);

    // ---- Steps of the page's events; each reads the controls first.
    void Apply();
    void CategorySelected();
    // The shown function's words again, in the current language.
    void RefreshTexts();
    void RepeatSelected();
    void ModifierSelected(int n);
    void RestoreDefault();
    void Cancel();
    // Write to device: what the device and the profile file took; nullopt before SetDevice.
    [[nodiscard]] std::optional<pages::KeyAssignmentModel::WriteOutcome> WriteToDevice();
    // A key event of key capture; false when the page did not take it.
    bool CaptureKey(std::uint8_t scanCode, bool extended);

    // Receives key capture's hook events for this page.
    std::shared_ptr<hook::HookClient> captureClient();

    // The text of a language id, through the page's hidden "text_test" label; the id itself
    // when there is no such label or text.
    std::wstring translate(std::wstring_view id);

private:
    class CaptureClient;

    void readControls();
    void showState();
    CComboUI* combo(std::size_t slot) const;
    std::wstring editText(std::size_t slot) const;
    void setEditText(std::size_t slot, const std::wstring& text);

    void noteShown();

    bool m_bound = false;
    bool m_shown = false;
    std::function<void(bool)> m_shownChanged;
    std::unique_ptr<pages::KeyAssignmentModel> m_model;
    std::shared_ptr<CaptureClient> m_captureClient;

    // Observed; owned by the tree.
    CControlUI* m_area = nullptr;
    CControlUI* m_hint = nullptr;
    CControlUI* m_keyName = nullptr;
    CComboUI* m_functionCombo = nullptr;
    CTabLayoutUI* m_functionTabs = nullptr;
    std::array<pages::OfferedControl, 4> m_buttons{}; // default, apply, cancel, write
    pages::OfferedControl m_macroFunction;            // the macro item of the function combo
    pages::KeyPageOffers m_offers;
    bool m_buttonsAllowed = false;
    std::array<CControlUI*, 9> m_combos{};
    std::array<CControlUI*, 10> m_edits{};
    std::array<COptionUI*, 5> m_modifiers{};
    CControlUI* m_cycleArea = nullptr;
    CControlUI* m_textTest = nullptr;
    CControlUI* m_captureHint = nullptr;
};
