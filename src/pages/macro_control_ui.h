#pragma once

// The macro editor page: the device's macro library on the left, the selected macro's
// action rows in the middle, recording and hand insertion on the right. A thin view over
// MacroEditorModel: it finds its controls by name, shows the model and reads the controls;
// the main window's macro routes drive it (pages/macro_page.h).

#include "pages/control_binding.h"
#include "pages/models/macro_editor_model.h"
#include "pages/models/page_offers.h"
#include "ui/container_ui.h"

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CListUI;
class COptionUI;
class CTessaryUSBDevice;

class CMacroControlUI : public CHorizontalLayoutUI {
public:
    CMacroControlUI();
    ~CMacroControlUI() override;

    const wchar_t* GetClass() const override { return L"MacroControlUI"; }
    void* GetInterface(std::wstring_view name) override;
    // The page binds itself to its device's data folder when shown.
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;

    // The device object the page sits in; null outside one.
    CTessaryUSBDevice* device() const;
    // Points the page at a library folder and loads it when the folder changed.
    void SetFolder(const std::filesystem::path& folder);
    // Binds to the device's data folder; the controls are found the first time.
    void Bind();
    // Offers only what the device has; a refused control says why in its tooltip.
    void SetOffers(const pages::MacroPageOffers& offers);
    const std::filesystem::path& folder() const { return m_folder; }
    pages::MacroEditorModel* model() { return m_model.get(); }

    void LoadLibrary();
    // The macro list shows the library; the model's selection stays selected.
    void ShowNames();
    // Loads the macro the list has selected (none: the action list empties).
    void SelectMacro();
    // Selects macro `index` in the list and loads it.
    void SelectMacroAt(int index);
    // The action list shows the model's rows and selection.
    void ShowRows();
    // The model takes the action list's selection.
    void TakeRowSelection();
    // Every delay edit's value goes to the model (and so to the file).
    void TakeDelayEdits();
    // The delay edit of one row changed.
    void TakeDelayEdit(CControlUI* edit);

    std::wstring GetNewName();
    void SetNewName(const std::wstring& name);
    bool IsConstantDelayChecked();
    std::wstring GetFixedDelayText();
    void SetFixedDelayText(const std::wstring& text);
    // The distance typed for a movement, 0-255.
    int GetMoveDistance(pages::MoveDirection direction);

    // Locks the list and the name tab while recording and swaps the record buttons.
    void SetRecording(bool recording, bool onlyWithFocus);
    // True when the client point lies on the stop button.
    bool IsOnStopButton(POINT clientPoint);
    // The macro memory line: the use, or hidden when the device's capacity is unknown.
    void ShowMemory(const std::optional<pages::MacroMemoryUse>& use);
    // A short line under the action list ("written to the device", ...); empty hides it.
    void ShowStatus(std::wstring_view textId, bool problem);
    // The line again in the current language.
    void RefreshStatus() { ShowStatus(std::wstring(m_statusId), m_statusProblem); }

    // Called when the page is hidden (gone false) or destroyed (gone true): a recording
    // must not go on where nobody sees its stop button.
    std::function<void(bool gone)> onLeave;

private:
    struct Controls {
        CListUI* names = nullptr;
        CListUI* actions = nullptr;
        CControlUI* nameCount = nullptr;
        CControlUI* actionCount = nullptr;
        std::array<CControlUI*, 2> libraryButtons{}; // add, import
        std::array<CControlUI*, 5> macroButtons{};   // act on the selected macro
        std::array<pages::OfferedControl, 8> rowButtons{};
        std::array<CControlUI*, 2> recordTabs{}; // locked while recording
        std::array<CControlUI*, 4> moveEdits{};
        CControlUI* emptyHint = nullptr;
        CControlUI* headerFill = nullptr;
        CControlUI* newName = nullptr;
        COptionUI* constantDelay = nullptr;
        CControlUI* fixedDelay = nullptr;
        CControlUI* nameTab = nullptr;
        CControlUI* startRecord = nullptr;
        CControlUI* stopRecord = nullptr;
        CControlUI* memory = nullptr;
        CControlUI* status = nullptr;
        CControlUI* recordHint = nullptr;
    };

    // The controls, found by name the first time they are needed.
    const Controls& controls();
    std::wstring text(std::wstring_view id);
    CControlUI* makeRow(const profile::MacroRow& row, int index);
    void showButtons();

    std::filesystem::path m_folder;
    std::unique_ptr<pages::MacroEditorModel> m_model;
    bool m_recordingShown = false;
    bool m_controlsBound = false;
    Controls m_controls;
    std::wstring m_statusId; // the status line's text id, empty while hidden
    bool m_statusProblem = false;
    pages::MacroPageOffers m_offers;
};

namespace pages {

// The display of one action row: the event's name (a language id or a key's own name), the
// action's text id and which label style it takes.
struct MacroRowText {
    std::wstring name;
    bool nameIsTextId = false;
    bool mouse = false;
    std::wstring actionId; // "macro_down_text" / "macro_up_text"; movements have none
};
[[nodiscard]] MacroRowText macroRowText(const MacroAction& action);

} // namespace pages
