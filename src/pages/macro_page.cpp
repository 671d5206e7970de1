#include "pages/macro_page.h"

#include "device/model/keyboard_model.h"
#include "device/model/mouse_model.h"
#include "device/protocol/commands.h"
#include "hook/hook_messages.h"
#include "pages/device_profile_ui.h"
#include "pages/devices/tessary_usb_device.h"
#include "pages/find_by_name.h"
#include "pages/macro_control_ui.h"
#include "pages/models/key_map_write.h"
#include "pages/models/page_offers.h"
#include "pages/page_handlers.h"
#include "platform/debug_output.h"
#include "profile/json_file.h"
#include "profile/keyboard_profile_data.h"
#include "profile/mouse_profile_data.h"
#include "shell/page_host.h"
#include "ui/menu_wnd.h"
#include "ui/paint_manager_ui.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace pages {
namespace {

struct MouseMenuItem {
    std::wstring_view name;
    MacroMouseButton button;
    int action; // 1 down, 0 up, 2 click
};
constexpr std::array<MouseMenuItem, 15> kMouseMenu{{
    {L"left_down", MacroMouseButton::Left, 1},
    {L"left_up", MacroMouseButton::Left, 0},
    {L"left_click", MacroMouseButton::Left, 2},
    {L"right_down", MacroMouseButton::Right, 1},
    {L"right_up", MacroMouseButton::Right, 0},
    {L"right_click", MacroMouseButton::Right, 2},
    {L"middle_down", MacroMouseButton::Middle, 1},
    {L"middle_up", MacroMouseButton::Middle, 0},
    {L"middle_click", MacroMouseButton::Middle, 2},
    {L"forward_down", MacroMouseButton::Forward, 1},
    {L"forward_up", MacroMouseButton::Forward, 0},
    {L"forward_click", MacroMouseButton::Forward, 2},
    {L"back_down", MacroMouseButton::Back, 1},
    {L"back_up", MacroMouseButton::Back, 0},
    {L"back_click", MacroMouseButton::Back, 2},
}};

struct RecordMenuItem {
    std::wstring_view name;
    int delay; // 0: measured, or constant when the option is on
    RecordPosition position;
};
constexpr std::array<RecordMenuItem, 7> kRecordMenu{{
    {L"redio_previous_record_time", 0, RecordPosition::InsertBefore},
    {L"redio_previous_constant_time", 2, RecordPosition::InsertBefore},
    {L"redio_previous_ignore_time", 3, RecordPosition::InsertBefore},
    {L"redio_later_record_time", 0, RecordPosition::InsertAfter},
    {L"redio_later_constant_time", 2, RecordPosition::InsertAfter},
    {L"redio_later_ignore_time", 3, RecordPosition::InsertAfter},
    {L"macro_action_edit", 3, RecordPosition::ReplaceOne},
}};

int hookModeOf(RecordPosition position)
{
    switch (position) {
    case RecordPosition::Append:
        return hook::kModeMacroAppend;
    case RecordPosition::InsertBefore:
        return hook::kModeMacroInsertBefore;
    case RecordPosition::InsertAfter:
        return hook::kModeMacroInsertAfter;
    case RecordPosition::ReplaceOne:
        return hook::kModeMacroReplaceOne;
    }
    return 0;
}

std::uint32_t steadyMilliseconds()
{
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// The keys of the device's current profile and where they are kept.
struct DeviceKeys {
    std::vector<profile::KeyAssignment> keys;
    std::unique_ptr<profile::CBasicProfiledata> scratch;
    // Keeps the keys in the profile and saves it; the save's result.
    std::function<model::ProfileResult(std::vector<profile::KeyAssignment>)> store;
};

std::optional<DeviceKeys> keysOf(model::UsbDeviceModel& device)
{
    DeviceKeys result;
    if (auto* keyboard = dynamic_cast<model::KeyboardModel*>(&device)) {
        result.keys = keyboard->keys();
        result.scratch = std::make_unique<profile::CKeyboardProfiledata>();
        result.store = [keyboard](std::vector<profile::KeyAssignment> keys) {
            keyboard->profile().StoreKeyList(keys);
            keyboard->setKeys(std::move(keys));
            return keyboard->CommitProfile();
        };
    } else if (auto* mouse = dynamic_cast<model::MouseModel*>(&device)) {
        result.keys = mouse->keys();
        result.scratch = std::make_unique<profile::CMouseProfiledata>();
        result.store = [mouse](std::vector<profile::KeyAssignment> keys) {
            mouse->profile().StoreKeyList(keys);
            mouse->setKeys(std::move(keys));
            return mouse->CommitProfile();
        };
    } else {
        return std::nullopt;
    }
    result.scratch->SetDefaultPath(device.factoryProfilePath());
    return result;
}

} // namespace

CMacroControlUI* macroPageOf(shell::ShellDevice* device)
{
    CControlUI* found = findByName(device ? device->page() : nullptr, L"MacroControlItem");
    auto* page =
        found ? static_cast<CMacroControlUI*>(found->GetInterface(L"MacroControl")) : nullptr;
    if (page)
        page->Bind();
    return page && page->model() ? page : nullptr;
}

CMacroControlUI* MacroPage::pageOf(shell::ShellDevice* device)
{
    if (!device)
        return nullptr;
    auto found = m_pages.find(device);
    if (found == m_pages.end()) {
        CControlUI* control = findByName(device->page(), L"MacroControlItem");
        found = m_pages
                    .emplace(device, control ? static_cast<CMacroControlUI*>(
                                                   control->GetInterface(L"MacroControl"))
                                             : nullptr)
                    .first;
    }
    CMacroControlUI* page = found->second;
    if (page)
        page->Bind();
    return page && page->model() ? page : nullptr;
}

MacroPage::MacroPage(shell::PageHost& window, MacroPageHooks hooks)
    : m_window(window), m_hooks(std::move(hooks))
{
    if (!m_hooks.prompt)
        m_hooks.prompt = windowPrompt(m_window);
    if (!m_hooks.capture)
        m_hooks.capture = [this] { return createHookCapture(m_window); };
    if (!m_hooks.now)
        m_hooks.now = steadyMilliseconds;
}

MacroPage::~MacroPage()
{
    if (m_recording)
        m_recording->onLeave = nullptr;
    if (m_capture)
        m_capture->stop();
}

void MacroPage::notice(std::wstring_view textId, std::wstring_view english)
{
    m_hooks.prompt(PanelMessage{textId, english, std::nullopt}, 0);
}

void MacroPage::run(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device)
{
    const std::wstring_view command = route.command;
    // Recording hears our own capture; hook messages the window passes on are not ours.
    if (command.starts_with(L"WM_HOOK_"))
        return;
    if (command == L"macro_action") {
        if (!isRecording())
            showMenu(msg);
        return;
    }
    if (command == shell::kLanguageChangedCommand) {
        // The action count and the memory line are put together from language texts.
        for (std::size_t i = 0; i < m_window.deviceCount() && !isRecording(); ++i) {
            if (CMacroControlUI* shown = pageOf(m_window.deviceAt(i))) {
                shown->ShowRows();
                rowsChanged(*shown, m_window.deviceAt(i));
                shown->RefreshStatus();
            }
        }
        return;
    }
    CMacroControlUI* page = pageOf(device);
    if (!page)
        return;
    if (isRecording()) {
        // While recording only stopping counts; the rest of the page is locked.
        if (command == L"macro_btn_stopredio")
            stopRecording();
        return;
    }
    MacroEditorModel& model = *page->model();
    page->ShowStatus(L"", false);

    if (command == L"macro_name_list") {
        page->SelectMacro();
        rowsChanged(*page, device);
    } else if (command == L"macro_btn_name_add") {
        if (model.atMacroLimit()) {
            notice(L"macro_limit_text", L"A library holds at most 50 macros.");
            return;
        }
        const std::wstring name = model.NewMacro();
        if (name.empty()) {
            notice(L"macro_not_saved_text", L"The macro library could not be written.");
            return;
        }
        namesChanged(*page, device);
        page->SelectMacroAt(static_cast<int>(model.names().size()) - 1);
    } else if (command == L"macro_btn_name_sub") {
        deleteMacro(*page, device);
    } else if (command == L"macro_btn_name_edit") {
        using R = profile::MacroLibrary::RenameResult;
        switch (model.RenameSelectedMacro(page->GetNewName())) {
        case R::Renamed:
            namesChanged(*page, device);
            break;
        case R::Blank:
        case R::Taken:
            notice(L"message_text_5", L"This name is empty or already in use.");
            break;
        case R::NotWritten:
            notice(L"macro_not_saved_text", L"The macro library could not be written.");
            break;
        case R::NoMacro:
            break;
        }
    } else if (command == L"macro_btn_save") {
        apply(*page, device);
    } else if (command == L"macro_btn_cancel") {
        page->SelectMacroAt(model.selectedMacro());
        rowsChanged(*page, device);
    } else if (command == L"macro_btn_starredio") {
        startRecording(*page,
                       page->IsConstantDelayChecked() ? DelayMode::Constant : DelayMode::Measured,
                       RecordPosition::Append);
    } else if (command == L"macro_delay") {
        page->TakeDelayEdit(msg ? msg->pSender : nullptr);
        rowsChanged(*page, device);
    } else if (command == L"macro_btn_export") {
        if (model.selectedMacro() < 0 || !msg || msg->sType.empty())
            return;
        if (!model.ExportMacro(std::filesystem::path(std::wstring(msg->sType))))
            notice(L"macro_export_failed_text", L"The macro could not be written to that file.");
    } else if (command == L"macro_btn_import") {
        if (msg && !msg->sType.empty())
            importMacro(*page, device, std::wstring(msg->sType));
    } else {
        page->TakeRowSelection();
        bool edited = true;
        if (command == L"macro_btn_up") {
            model.MoveUp();
        } else if (command == L"macro_btn_down") {
            model.MoveDown();
        } else if (command == L"macro_btn_uptop") {
            model.MoveTop();
        } else if (command == L"macro_btn_downbottom") {
            model.MoveBottom();
        } else if (command == L"macro_btn_delete") {
            model.DeleteAction();
        } else if (command == L"macro_btn_deleteall") {
            model.DeleteAllActions();
        } else if (command.starts_with(L"macro_inset_move")) {
            const MoveDirection direction =
                command == L"macro_inset_moveleftkey_btn"    ? MoveDirection::Left
                : command == L"macro_inset_moverightkey_btn" ? MoveDirection::Right
                : command == L"macro_inset_moveupkey_btn"    ? MoveDirection::Up
                                                             : MoveDirection::Down;
            model.InsertMovement(direction, page->GetMoveDistance(direction));
        } else {
            edited = false;
            for (const auto& item : kMouseMenu) {
                if (item.name != command)
                    continue;
                if (item.action == 2)
                    model.InsertClick(item.button);
                else
                    model.InsertMouseEvent(item.button, item.action == 1);
                edited = true;
            }
            for (const auto& item : kRecordMenu) {
                if (item.name != command)
                    continue;
                const DelayMode mode = item.delay == 3                  ? DelayMode::Zero
                                       : item.delay == 2                ? DelayMode::Constant
                                       : page->IsConstantDelayChecked() ? DelayMode::Constant
                                                                        : DelayMode::Measured;
                startRecording(*page, mode, item.position);
                return;
            }
        }
        if (edited) {
            page->ShowRows();
            rowsChanged(*page, device);
        }
    }
}

void MacroPage::startRecording(CMacroControlUI& page, DelayMode mode, RecordPosition position)
{
    MacroEditorModel& model = *page.model();
    if (model.selectedMacro() < 0)
        return;
    page.TakeDelayEdits();
    page.TakeRowSelection();
    // Inserting or replacing needs a row to do it at; the hook is not held for nothing.
    if (position != RecordPosition::Append && model.selectedRow() < 0)
        return;
    const std::wstring shown =
        model.StartRecording(mode, position, page.GetFixedDelayText(), m_hooks.now());
    if (mode == DelayMode::Constant)
        page.SetFixedDelayText(shown);
    if (!m_capture)
        m_capture = m_hooks.capture();
    if (!m_capture || !m_capture->start(hookModeOf(position), *this)) {
        model.StopRecording();
        if (m_capture)
            platform::debugOutput("macro recording: " + m_capture->lastError());
        notice(L"macro_capture_failed_text", L"Keys cannot be recorded on this desktop.");
        return;
    }
    m_recording = &page;
    m_clockOffset.reset();
    m_recordingDevice = nullptr;
    for (std::size_t i = 0; i < m_window.deviceCount(); ++i)
        if (pageOf(m_window.deviceAt(i)) == &page)
            m_recordingDevice = m_window.deviceAt(i);
    m_position = position;
    page.onLeave = [this](bool gone) {
        if (!gone && !m_window.isShuttingDown()) {
            stopRecording();
            return;
        }
        // A page goes only with the window's tree: the hook goes with it, and nothing else
        // of the tree is touched any more.
        m_recording = nullptr;
        if (m_capture)
            m_capture->stop();
    };
    page.SetRecording(true, m_capture->needsFocus());
    lockWindow(m_recordingDevice, true);
}

void MacroPage::stopRecording()
{
    if (m_capture)
        m_capture->stop();
    CMacroControlUI* page = m_recording;
    if (!page)
        return;
    m_recording = nullptr;
    page->onLeave = nullptr;
    page->model()->StopRecording();
    page->SetRecording(false, false);
    page->ShowRows();
    lockWindow(m_recordingDevice, false);
    rowsChanged(*page, m_recordingDevice);
}

std::uint32_t MacroPage::eventTime(std::uint32_t inputMs)
{
    if (!m_clockOffset) {
        // The first event is placed when it is taken; the ones after it keep their spacing.
        m_clockOffset = m_hooks.now() - inputMs;
        m_lastEventTime = m_hooks.now();
    }
    const std::uint32_t time = inputMs + *m_clockOffset;
    // Never earlier than the event before: a gap is not negative.
    if (static_cast<std::int32_t>(time - m_lastEventTime) > 0)
        m_lastEventTime = time;
    return m_lastEventTime;
}

bool MacroPage::deviceStillThere()
{
    // A keyboard unplugged while recording: the hook is not held for it.
    if (m_recordingDevice && !m_recordingDevice->isOnline()) {
        stopRecording();
        return false;
    }
    return m_recording != nullptr;
}

void MacroPage::onCapturedKey(const CapturedKey& key)
{
    CMacroControlUI* page = m_recording;
    if (!page || key.scanCode == 0 || !deviceStillThere())
        return;
    if (!page->model()->RecordKey(key.scanCode, key.extended, key.down, eventTime(key.timeMs)))
        return;
    page->ShowRows();
    if (m_position == RecordPosition::ReplaceOne)
        stopRecording();
}

void MacroPage::onCapturedButton(const CapturedButton& button)
{
    CMacroControlUI* page = m_recording;
    if (!page || !deviceStillThere())
        return;
    const RECT frame = m_window.windowFrame();
    const POINT client{button.x - frame.left, button.y - frame.top};
    if (!page->model()->RecordMouse(button.button, button.down, page->IsOnStopButton(client),
                                    eventTime(button.timeMs)))
        return;
    page->ShowRows();
    if (m_position == RecordPosition::ReplaceOne)
        stopRecording();
}

void MacroPage::onCaptureEnded()
{
    // The window took the hook back (focus lost, another page): what was recorded stays.
    if (m_recording && !m_window.isShuttingDown())
        stopRecording();
}

void MacroPage::rowsChanged(CMacroControlUI& page, shell::ShellDevice*)
{
    std::optional<MacroMemoryUse> use;
    if (CTessaryUSBDevice* usb = page.device()) {
        model::UsbDeviceModel& device = usb->model();
        const std::uint64_t units = device.info()[protocol::kInfoMacroUnits];
        if (units > 0)
            use =
                page.model()->memoryUse(device.CollectMacros(), units * protocol::kMacroMemoryUnit);
    }
    page.ShowMemory(use);
}

void MacroPage::namesChanged(CMacroControlUI& page, shell::ShellDevice* device)
{
    page.ShowNames();
    // Key labels name macros.
    if (device)
        device->rebuildKeyLabels();
    rowsChanged(page, device);
}

void MacroPage::apply(CMacroControlUI& page, shell::ShellDevice* device)
{
    CTessaryUSBDevice* usb = page.device();
    if (!usb)
        return;
    page.TakeDelayEdits();
    // Without a selected macro there is nothing to save; the device is written all the same.
    const int macro = page.model()->selectedMacro();
    if (macro >= 0 && !page.model()->SaveMacro()) {
        page.ShowStatus(L"macro_not_saved_text", true);
        return;
    }
    model::UsbDeviceModel& model = usb->model();
    // The page offers no apply to a device without macros; the library holds the macro.
    if (!macroPageOffers(model.capabilities()).write.enabled)
        return;
    // What the device does not take stays pending, so the window offers to write it again
    // and the device's return writes it.
    if (!model.channel().isOpen()) {
        usb->pending().written(ProfileBlock::Macros, protocol::Status::NoReply);
        usb->pending().written(ProfileBlock::KeyMap, protocol::Status::NoReply);
        page.ShowStatus(L"macro_apply_failed_text", true);
        return;
    }
    const KeyMapWrite keys = writeMacrosThenKeys(model);
    usb->pending().written(ProfileBlock::Macros, keys.macroBlockStatus());
    usb->pending().written(ProfileBlock::KeyMap, keys.keyMapStatus());
    if (const auto words = keys.message())
        m_hooks.prompt(*words, 0);
    if (!keys.keyMap) {
        page.ShowStatus(L"macro_apply_failed_text", true);
        return;
    }
    const bool mapped = keys.isKeyMapWritten();
    rowsChanged(page, device);
    // A macro no key uses is kept in the library only: the keyboard got nothing of it.
    const bool onDevice =
        std::find(keys.macrosUsed.begin(), keys.macrosUsed.end(), macro) != keys.macrosUsed.end();
    if (mapped && macro >= 0 && !onDevice)
        page.ShowStatus(L"macro_saved_unused_text", false);
    else
        page.ShowStatus(mapped ? L"macro_applied_text" : L"macro_apply_failed_text", !mapped);
}

void MacroPage::deleteMacro(CMacroControlUI& page, shell::ShellDevice* device)
{
    MacroEditorModel& model = *page.model();
    if (model.selectedMacro() < 0)
        return;
    if (m_hooks.prompt(PanelMessage{L"message_text_4", L"Delete the selected macro?", std::nullopt},
                       1) != 1)
        return;
    CTessaryUSBDevice* usb = page.device();
    CDeviceProfileUI* panel = profilePanelOf(device);
    auto keys = usb ? keysOf(usb->model()) : std::nullopt;
    if (!keys || !panel || !panel->model()) {
        // No profiles to keep in step: the library alone.
        if (model.DeleteSelectedMacro() >= 0)
            namesChanged(page, device);
        return;
    }
    MacroProfiles profiles{panel->model()->list(), *keys->scratch, keys->keys,
                           usb->model().GetProfilePath()};
    const auto confirmUsed = [this] {
        return m_hooks.prompt(PanelMessage{L"message_text_2",
                                           L"The macro is used by keys; delete it anyway?",
                                           std::nullopt},
                              1) == 1;
    };
    const MacroDeleteResult result = model.DeleteSelectedMacro(profiles, confirmUsed);
    if (result == MacroDeleteResult::NotDeleted)
        return;
    page.ShowRows();
    if (result == MacroDeleteResult::CurrentKeysChanged) {
        ChangeResult stored;
        stored.save(keys->store(std::move(keys->keys)));
        if (stored.saved) {
            usb->pending().saved(true);
        } else {
            // The keys changed in memory only: kept, marked and said.
            usb->pending().edited(ProfileBlock::KeyMap);
            if (const auto words = changeMessage(stored))
                m_hooks.prompt(*words, 0);
        }
        namesChanged(page, device);
        // The device's keys followed their macros: write them again.
        apply(page, device);
        return;
    }
    namesChanged(page, device);
}

void MacroPage::importMacro(CMacroControlUI& page, shell::ShellDevice* device,
                            const std::wstring& path)
{
    MacroEditorModel& model = *page.model();
    if (model.atMacroLimit()) {
        notice(L"macro_limit_text", L"A library holds at most 50 macros.");
        return;
    }
    const std::filesystem::path file(path);
    std::wstring name = model.ImportMacro(file);
    if (name.empty()) {
        notice(L"macro_import_refused_text", L"This file is not a macro this program can use.");
        return;
    }
    // The user knows the macro by its file's name; the numbered name stays when that one is
    // blank or taken by another macro.
    const int index = model.library().find(name);
    const std::wstring stem = file.stem().wstring().substr(0, profile::kMaxMacroNameLength);
    if (index >= 0 &&
        model.library().RenameMacro(index, stem) == profile::MacroLibrary::RenameResult::Renamed)
        name = stem;
    namesChanged(page, device);
    page.SelectMacroAt(model.library().find(name));
    rowsChanged(page, device);
}

void MacroPage::showMenu(TNotifyUI* msg)
{
    CPaintManagerUI& manager = m_window.paintManager();
    CMenuWnd::DestroyMenu();
    POINT point{0, 0};
    if (msg)
        point = msg->ptMouse;
    if (msg && msg->pSender && point.x == 0 && point.y == 0) {
        const RECT& row = msg->pSender->GetPos();
        point = POINT{(row.left + row.right) / 2, row.bottom};
    }
    const RECT frame = m_window.windowFrame();
    point.x += frame.left;
    point.y += frame.top;
    if (!CMenuWnd::CreateMenu(nullptr, L"XML\\Menus\\macro_action_menu.xml", point, &manager))
        platform::debugOutput(L"the macro action menu could not be made");
}

void MacroPage::lockWindow(shell::ShellDevice* device, bool locked)
{
    CPaintManagerUI& manager = m_window.paintManager();
    for (const auto name : {L"device_select_layout", L"device_select_prev", L"device_select_next"})
        if (CControlUI* control = manager.FindControl(name))
            control->SetEnabled(!locked);
    if (CDeviceProfileUI* panel = profilePanelOf(device))
        panel->SetEnabled(!locked);
}

std::shared_ptr<MacroPage> installMacroPage(shell::PageHost& window, MacroPageHooks hooks)
{
    auto page = std::make_shared<MacroPage>(window, std::move(hooks));
    window.setPageHandler(shell::RouteOwner::Macros,
                          [page](const shell::Route& route, TNotifyUI* msg,
                                 shell::ShellDevice* device) { page->run(route, msg, device); });
    return page;
}

} // namespace pages
