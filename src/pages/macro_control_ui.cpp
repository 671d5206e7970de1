#include "pages/macro_control_ui.h"

#include "device/protocol/macro_block.h"
#include "pages/devices/tessary_usb_device.h"
#include "pages/find_by_name.h"
#include "platform/text.h"
#include "profile/key_codes.h"
#include "profile/key_function_text.h"
#include "ui/button_ui.h"
#include "ui/edit_ui.h"
#include "ui/label_ui.h"
#include "ui/list_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "ui/text_substitute.h"

#include <array>

namespace pages {
namespace {

std::optional<std::size_t> keyOfEvent(int type, int button)
{
    const auto keys = profile::keyboardKeyTable();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const bool match = type == kMacroKey ? keys[i].p2 == button && button != 0
                                             : keys[i].p1 == button && keys[i].p2 == 0;
        if (keys[i].type == profile::typeByte(profile::KeyFunctionType::Keyboard) && match)
            return i;
    }
    return std::nullopt;
}

std::wstring_view mouseNameId(int button)
{
    switch (button) {
    case 0x01:
        return L"mouse_key_left";
    case 0x02:
        return L"mouse_key_right";
    case 0x04:
        return L"mouse_key_middle";
    case 0x08:
        return L"mouse_key_back";
    case 0x10:
        return L"mouse_key_forward";
    default:
        return L"mouse_cursor_text";
    }
}

} // namespace

MacroRowText macroRowText(const MacroAction& action)
{
    MacroRowText text;
    text.actionId = action.down ? L"macro_down_text" : L"macro_up_text";
    switch (action.type) {
    case kMacroKey:
    case kMacroModifier:
        if (const auto key = keyOfEvent(action.type, action.button)) {
            text.name = platform::fromUtf8(profile::shortKeyName(profile::keyboardKeyNameId(*key)));
        } else {
            text.name = L"? " + std::to_wstring(action.button);
        }
        return text;
    case kMacroMouseButton:
    case 2:
    case 3:
        text.mouse = true;
        text.nameIsTextId = true;
        text.name = action.type == kMacroMouseButton ? mouseNameId(action.button)
                                                     : std::wstring_view(L"mouse_cursor_text");
        return text;
    case kMacroMoveHorizontal:
    case kMacroMoveVertical:
        text.mouse = true;
        text.nameIsTextId = true;
        text.name = action.type == kMacroMoveHorizontal
                        ? (action.down ? L"mouse_move_to_left_text" : L"mouse_move_to_right_text")
                        : (action.down ? L"mouse_move_to_up_text" : L"mouse_move_to_down_text");
        text.actionId.clear();
        return text;
    default:
        text.name = L"? " + std::to_wstring(action.type);
        return text;
    }
}

} // namespace pages

namespace {

constexpr std::array<std::wstring_view, 4> kMoveEdits = {
    L"mouse_x_left_edit", L"mouse_x_right_edit", L"mouse_y_up_edit", L"mouse_y_down_edit"};
// While a macro is selected these act on it.
constexpr std::array<std::wstring_view, 5> kMacroButtons = {
    L"macro_action_layout", L"mouse_move_layout", L"macro_btn_export", L"macro_btn_name_sub",
    L"macro_btn_name_edit"};

// The commands on the selected macro's actions.
constexpr std::array<std::wstring_view, 8> kRowButtons = {
    L"macro_btn_deleteall",  L"macro_btn_uptop",  L"macro_btn_up",     L"macro_btn_down",
    L"macro_btn_downbottom", L"macro_btn_delete", L"macro_btn_cancel", L"macro_btn_save"};
constexpr std::size_t kApplyButton = 7;

long long parseDistance(std::wstring_view text)
{
    long long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        value = std::min<long long>(value * 10 + (c - L'0'), 1'000'000);
    }
    return value;
}

} // namespace

CMacroControlUI::CMacroControlUI() = default;

CMacroControlUI::~CMacroControlUI()
{
    if (onLeave)
        onLeave(true);
}

void* CMacroControlUI::GetInterface(std::wstring_view name)
{
    if (name == L"MacroControl")
        return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

void CMacroControlUI::SetVisible(bool visible)
{
    const bool wasVisible = IsVisible();
    CHorizontalLayoutUI::SetVisible(visible);
    if (wasVisible && !IsVisible() && onLeave)
        onLeave(false);
    if (!visible || !IsVisible() || !m_pManager)
        return;
    const bool bound = m_model != nullptr;
    Bind();
    // halvekctl or the key page may have changed the library while the page was away.
    if (bound && !wasVisible && m_model && !m_model->isRecording()) {
        const int selected = m_model->selectedMacro();
        m_model->LoadLibrary();
        ShowNames();
        SelectMacroAt(selected);
    }
}

void CMacroControlUI::SetInternVisible(bool visible)
{
    const bool wasVisible = IsVisible();
    CHorizontalLayoutUI::SetInternVisible(visible);
    if (wasVisible && !IsVisible() && onLeave)
        onLeave(false);
    if (visible && IsVisible() && m_pManager)
        Bind();
}

CTessaryUSBDevice* CMacroControlUI::device() const
{
    for (CControlUI* c = GetParent(); c; c = c->GetParent()) {
        if (auto* usb = static_cast<CTessaryUSBDevice*>(c->GetInterface(L"TessaryUSBDevice")))
            return usb;
    }
    return nullptr;
}

void CMacroControlUI::Bind()
{
    CTessaryUSBDevice* usb = device();
    if (!usb)
        return;
    const pages::MacroPageOffers offers = pages::macroPageOffers(usb->model().capabilities());
    if (offers.write.enabled != m_offers.write.enabled)
        SetOffers(offers);
    SetFolder(usb->model().dataFolder());
}

void CMacroControlUI::SetFolder(const std::filesystem::path& folder)
{
    if (m_model && folder == m_folder)
        return;
    m_folder = folder;
    m_model = std::make_unique<pages::MacroEditorModel>(folder);
    LoadLibrary();
}

const CMacroControlUI::Controls& CMacroControlUI::controls()
{
    // Before the skin's children are in, there is nothing to bind yet.
    if (m_controlsBound || GetCount() == 0)
        return m_controls;
    m_controlsBound = true;
    using pages::bindControl;
    Controls& c = m_controls;
    c.names = bindControl<CListUI>(this, L"macro_name_list", L"List");
    c.actions = bindControl<CListUI>(this, L"macro_action_list", L"List");
    c.nameCount = bindControl(this, L"macro_count_label");
    c.actionCount = bindControl(this, L"macro_action_count_label");
    c.libraryButtons = {bindControl(this, L"macro_btn_name_add"),
                        bindControl(this, L"macro_btn_import")};
    for (std::size_t i = 0; i < kMacroButtons.size(); ++i)
        c.macroButtons[i] = bindControl(this, kMacroButtons[i]);
    for (std::size_t i = 0; i < kRowButtons.size(); ++i)
        c.rowButtons[i] = pages::OfferedControl(bindControl(this, kRowButtons[i]));
    c.recordTabs = {bindControl(this, L"macro_tab_macroaction_edit"),
                    bindControl(this, L"macro_tab_macrodelay_edit")};
    for (std::size_t i = 0; i < kMoveEdits.size(); ++i)
        c.moveEdits[i] = bindControl(this, kMoveEdits[i]);
    c.emptyHint = bindControl(this, L"macro_empty_hint");
    c.headerFill = bindControl(this, L"macro_header_fill");
    c.newName = bindControl(this, L"macro_edit_macroname");
    c.constantDelay = bindControl<COptionUI>(this, L"macro_check_time", L"Option");
    c.fixedDelay = bindControl(this, L"macro_fixed_time_edit");
    c.nameTab = bindControl(this, L"macro_name_tab");
    c.startRecord = bindControl(this, L"macro_btn_starredio");
    c.stopRecord = bindControl(this, L"macro_btn_stopredio");
    c.memory = bindControl(this, L"macro_memory_label");
    c.status = bindControl(this, L"macro_status_label");
    c.recordHint = bindControl(this, L"macro_record_hint");
    return m_controls;
}

void CMacroControlUI::SetOffers(const pages::MacroPageOffers& offers)
{
    m_offers = offers;
    showButtons();
}

std::wstring CMacroControlUI::text(std::wstring_view id)
{
    return std::wstring(CResourceManager::GetInstance()->GetText(id));
}

void CMacroControlUI::LoadLibrary()
{
    if (!m_model)
        return;
    m_model->LoadLibrary();
    ShowNames();
    ShowRows();
    if (m_model->setAsideOnLoad())
        ShowStatus(L"macro_set_aside_text", true);
}

void CMacroControlUI::ShowNames()
{
    CListUI* names = controls().names;
    if (!m_model || !names)
        return;
    names->RemoveAll();
    for (std::size_t i = 0; i < m_model->names().size(); ++i) {
        auto* item = new CListLabelElementUI();
        item->SetName(L"macro_name_item");
        item->SetText(m_model->names()[i]);
        item->SetUserData(platform::fromUtf8(m_model->library().guid(i)));
        item->SetFixedHeight(30);
        names->Add(item);
    }
    if (m_model->selectedMacro() >= 0)
        names->SelectItem(m_model->selectedMacro(), false, false);
    const std::size_t count = m_model->names().size();
    if (CControlUI* label = controls().nameCount) {
        label->SetText(std::to_wstring(count) + L" / " + std::to_wstring(profile::kMaxMacros));
        label->SetToolTip(m_model->atMacroLimit() ? text(L"macro_limit_text") : std::wstring());
    }
    // At the limit the user sees it before trying: adding and importing are off.
    for (CControlUI* button : controls().libraryButtons)
        if (button)
            button->SetEnabled(!m_model->atMacroLimit() && m_model->library().isReadable());
    showButtons();
}

void CMacroControlUI::showButtons()
{
    const bool selected = m_model && m_model->selectedMacro() >= 0;
    // A disabled area does not grey what it holds: each control inside says it cannot act.
    const auto enable = [](CControlUI* area, bool on) {
        area->FindControl(
            [](CControlUI* control, void* data) -> CControlUI* {
                control->SetEnabled(*static_cast<bool*>(data));
                return nullptr;
            },
            &on, UIFIND_ALL);
    };
    const Controls& c = controls();
    for (CControlUI* control : c.macroButtons)
        if (control)
            enable(control, selected);
    // Nothing but stopping acts while recording; applying writes to the device.
    for (std::size_t i = 0; i < kRowButtons.size(); ++i)
        m_controls.rowButtons[i].show(i == kApplyButton ? m_offers.write : pages::Offer{},
                                      selected && !m_recordingShown);
    for (CControlUI* control : c.recordTabs)
        if (control && m_recordingShown)
            enable(control, false);
    if (CControlUI* hint = c.emptyHint)
        hint->SetVisible(!selected && !m_recordingShown);
    // Without a hint in the header, the space before its button stays empty.
    if (CControlUI* fill = c.headerFill)
        fill->SetVisible(selected && !m_recordingShown);
}

void CMacroControlUI::SelectMacro()
{
    CListUI* names = controls().names;
    SelectMacroAt(names ? names->GetCurSel() : -1);
}

void CMacroControlUI::SelectMacroAt(int index)
{
    if (!m_model)
        return;
    m_model->SelectMacro(index);
    if (CListUI* names = controls().names; names && names->GetCurSel() != index)
        names->SelectItem(m_model->selectedMacro(), false, false);
    if (m_model->selectedMacro() >= 0)
        SetNewName(m_model->names()[static_cast<std::size_t>(m_model->selectedMacro())]);
    ShowRows();
    showButtons();
    ShowStatus(m_model->isLoadRefused() ? L"macro_load_refused_text" : L"", true);
}

CControlUI* CMacroControlUI::makeRow(const profile::MacroRow& row, int index)
{
    auto* element = new CListContainerElementUI();
    element->SetName(L"macro_action");
    element->SetFixedHeight(30);
    element->SetAttribute(L"childvalign", L"vcenter");
    element->SetUserData(platform::fromUtf8(row.eventJson));
    element->SetManager(m_pManager, nullptr, false);
    auto style = [this](CControlUI* control, std::wstring_view name) {
        if (m_pManager)
            control->ApplyAttributeList(m_pManager->GetStyle(name));
    };

    const auto action = pages::MacroEditorModel::actionOf(row);
    const pages::MacroRowText shown =
        action ? pages::macroRowText(*action) : pages::MacroRowText{L"?", false, false, L""};

    auto* number = new CLabelUI();
    number->SetManager(m_pManager, nullptr, false);
    style(number, L"macro_label_index_style");
    number->SetText(std::to_wstring(index + 1));
    element->Add(number);

    auto* name = new CLabelUI();
    name->SetManager(m_pManager, nullptr, false);
    const bool movement = action && (action->type == pages::kMacroMoveHorizontal ||
                                     action->type == pages::kMacroMoveVertical);
    style(name, movement      ? L"macro_label_text_style"
                : shown.mouse ? L"macro_label_mouse_style"
                              : L"macro_label_keyboard_style");
    // Key names are the keys' own words; everything else is a language text.
    name->SetResourceText(shown.nameIsTextId);
    name->SetText(shown.name);
    element->Add(name);

    auto* what = new CLabelUI();
    what->SetManager(m_pManager, nullptr, false);
    if (movement) {
        style(what, L"macro_label_down_style");
        what->SetText(std::to_wstring(action->button) + L" px");
    } else {
        style(what, action && action->down ? L"macro_label_down_style" : L"macro_label_up_style");
        what->SetResourceText(true);
        what->SetText(shown.actionId);
    }
    element->Add(what);

    auto* delay = new CEditUI();
    delay->SetManager(m_pManager, nullptr, false);
    style(delay, L"macro_label_text_style");
    delay->SetName(L"macro_delay");
    delay->SetAttribute(L"bkcolor", L"#FF1B2129");
    delay->SetAttribute(L"focusbkcolor", L"#FF232A33");
    delay->SetAttribute(L"bordersize", L"1");
    delay->SetAttribute(L"bordercolor", L"#FF2A323C");
    delay->SetAttribute(L"textpadding", L"6,0,6,0");
    delay->SetAttribute(L"font", L"8");
    delay->SetFixedHeight(25);
    delay->SetFixedWidth(60);
    delay->SetMaxChar(6);
    delay->SetNumberOnly(true);
    delay->SetMinValue(0);
    delay->SetMaxValue(0xFFFF);
    delay->SetText(row.delay.empty() ? L"0" : row.delay);
    element->Add(delay);

    auto* unit = new CLabelUI();
    unit->SetManager(m_pManager, nullptr, false);
    style(unit, L"macro_label_unit_style");
    unit->SetResourceText(true);
    unit->SetText(L"unit_ms_text");
    element->Add(unit);
    return element;
}

void CMacroControlUI::ShowRows()
{
    CListUI* actions = controls().actions;
    if (!actions || !m_model)
        return;
    actions->RemoveAll();
    const auto& rows = m_model->rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        actions->Add(makeRow(rows[i], static_cast<int>(i)));
    if (m_model->selectedRow() >= 0) {
        actions->SelectItem(m_model->selectedRow(), false, false);
        actions->EnsureVisible(m_model->selectedRow());
    }
    if (CControlUI* count = controls().actionCount) {
        count->SetText(m_model->selectedMacro() < 0
                           ? std::wstring()
                           : ui::substituteNumber(text(L"macro_event_count_text"),
                                                  static_cast<long long>(rows.size())));
    }
}

void CMacroControlUI::TakeRowSelection()
{
    if (CListUI* actions = controls().actions; actions && m_model)
        m_model->SelectRow(actions->GetCurSel());
}

void CMacroControlUI::TakeDelayEdit(CControlUI* edit)
{
    if (!edit || !m_model)
        return;
    CControlUI* row = edit->GetParent();
    CListUI* actions = controls().actions;
    if (!row || !actions)
        return;
    const int index = actions->GetItemIndex(row);
    if (index < 0 || static_cast<std::size_t>(index) >= m_model->rows().size())
        return;
    const std::wstring typed(edit->GetText());
    m_model->SetRowDelay(index, typed);
    // The edit shows what was kept (an empty or too large value is limited).
    edit->SetText(m_model->rows()[static_cast<std::size_t>(index)].delay);
}

void CMacroControlUI::TakeDelayEdits()
{
    CListUI* actions = controls().actions;
    if (!actions || !m_model)
        return;
    for (int i = 0; i < actions->GetCount(); ++i) {
        auto* row = static_cast<CContainerUI*>(actions->GetItemAt(i)->GetInterface(L"Container"));
        if (!row)
            continue;
        CControlUI* edit = pages::findByName(row, L"macro_delay");
        if (edit && static_cast<std::size_t>(i) < m_model->rows().size() &&
            std::wstring(edit->GetText()) != m_model->rows()[static_cast<std::size_t>(i)].delay)
            TakeDelayEdit(edit);
    }
}

std::wstring CMacroControlUI::GetNewName()
{
    CControlUI* edit = controls().newName;
    return edit ? std::wstring(edit->GetText()) : std::wstring();
}

void CMacroControlUI::SetNewName(const std::wstring& name)
{
    if (CControlUI* edit = controls().newName)
        edit->SetText(name);
}

bool CMacroControlUI::IsConstantDelayChecked()
{
    COptionUI* option = controls().constantDelay;
    return option && option->IsSelected();
}

std::wstring CMacroControlUI::GetFixedDelayText()
{
    CControlUI* edit = controls().fixedDelay;
    return edit ? std::wstring(edit->GetText()) : std::wstring();
}

void CMacroControlUI::SetFixedDelayText(const std::wstring& value)
{
    CControlUI* control = controls().fixedDelay;
    if (!control || std::wstring(control->GetText()) == value)
        return;
    control->SetText(value);
    if (auto* edit = static_cast<CEditUI*>(control->GetInterface(L"Edit")))
        edit->SetSel(static_cast<int>(value.size()), static_cast<int>(value.size()));
}

int CMacroControlUI::GetMoveDistance(pages::MoveDirection direction)
{
    const auto which = static_cast<std::size_t>(direction);
    CControlUI* edit = which < kMoveEdits.size() ? controls().moveEdits[which] : nullptr;
    return edit ? static_cast<int>(parseDistance(edit->GetText()) & 0xFF) : 0;
}

void CMacroControlUI::SetRecording(bool recording, bool onlyWithFocus)
{
    const Controls& c = controls();
    for (CControlUI* control : {c.nameTab, static_cast<CControlUI*>(c.actions)}) {
        if (control) {
            control->SetMouseEnabled(!recording);
            if (auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container")))
                container->SetMouseChildEnabled(!recording);
        }
    }
    m_recordingShown = recording;
    showButtons();
    if (CControlUI* start = c.startRecord)
        start->SetVisible(!recording);
    if (CControlUI* stop = c.stopRecord)
        stop->SetVisible(recording);
    if (recording)
        for (CControlUI* label : {c.memory, c.status})
            if (label)
                label->SetVisible(false);
    if (CControlUI* hint = c.recordHint) {
        hint->SetText(onlyWithFocus ? L"macro_focus_hint_text" : L"macro_recording_text");
        hint->SetVisible(recording);
    }
}

bool CMacroControlUI::IsOnStopButton(POINT clientPoint)
{
    CControlUI* stop = controls().stopRecord;
    return stop && stop->IsVisible() && PtInRect(stop->GetPos(), clientPoint);
}

void CMacroControlUI::ShowMemory(const std::optional<pages::MacroMemoryUse>& use)
{
    CControlUI* label = controls().memory;
    if (!label)
        return;
    label->SetVisible(use.has_value());
    if (!use)
        return;
    auto* shown = static_cast<CLabelUI*>(label->GetInterface(L"Label"));
    if (use->fits()) {
        const long long free = static_cast<long long>(use->capacity - use->needed);
        label->SetText(ui::substituteNumber(text(L"macro_memory_text"), free));
        label->SetToolTip(label->GetText());
        if (shown)
            shown->SetTextColor(0xFF8B949E);
    } else {
        // The same count the device write refuses with, shown while the user edits.
        const long long over =
            static_cast<long long>((use->needed - use->capacity) / protocol::kMacroEventSize + 1);
        label->SetText(ui::substituteNumber(text(L"message_text_16"), over));
        label->SetToolTip(label->GetText());
        if (shown)
            shown->SetTextColor(0xFFF85149);
    }
}

void CMacroControlUI::ShowStatus(std::wstring_view textId, bool problem)
{
    m_statusId = textId;
    m_statusProblem = problem;
    CControlUI* label = controls().status;
    if (!label)
        return;
    label->SetVisible(!textId.empty());
    label->SetText(textId.empty() ? std::wstring() : text(textId));
    label->SetToolTip(label->GetText());
    // The line is short: the outcome of the last command takes the memory's place.
    if (CControlUI* memory = controls().memory; memory && !textId.empty())
        memory->SetVisible(false);
    if (auto* shown = static_cast<CLabelUI*>(label->GetInterface(L"Label")))
        shown->SetTextColor(problem ? 0xFFF85149 : 0xFF1EA7FF);
}
