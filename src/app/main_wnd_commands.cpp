// The main window's routing of skin notifications, its menus, prompts and file dialogs.
#include "app/about_wnd.h"
#include "app/device_option_ui.h"
#include "app/main_wnd.h"
#include "app/msg_wnd.h"
#include "app/simulation_hook.h"
#include "pages/control_binding.h"
#include "platform/debug_output.h"
#include "platform/message_queue.h"
#include "shell/app_messages.h"
#include "shell/main_messages.h"
#include "shell/peers.h"
#include "ui/button_ui.h"
#include "ui/edit_ui.h"
#include "ui/file_dialog.h"
#include "ui/paint_manager_ui.h"
#include "ui/slider_ui.h"
#include "ui/text_substitute.h"
#include "windows/music_wnd.h"
#include "windows/set_wnd.h"
#include "windows/skin_frame.h"

namespace app {
namespace {

// The prompt's three buttons and their answers (see CMsgWnd::SetButtonMode).
constexpr int kSaveDiscardCancel = 2;
constexpr UINT kAnswerConfirm = 1;
constexpr UINT kAnswerDiscard = 2;

CDeviceOptionUI* tileOf(CControlUI* control)
{
    for (CControlUI* c = control; c; c = c->GetParent()) {
        if (auto* tile = static_cast<CDeviceOptionUI*>(c->GetInterface(L"DeviceOption")))
            return tile;
    }
    return nullptr;
}

} // namespace

void CMainWnd::setPageHandler(shell::RouteOwner owner, PageHandler handler)
{
    m_pageHandlers[owner] = std::move(handler);
}

bool CMainWnd::deviceMatches(shell::DeviceNeed need, const shell::ShellDevice* device) const
{
    if (need == shell::DeviceNeed::None)
        return true;
    if (!device)
        return false;
    const auto kind = DeviceLists::kindOf(device->typeId());
    switch (need) {
    case shell::DeviceNeed::Any:
        return true;
    case shell::DeviceNeed::Keyboard:
        return kind == detect::DeviceKind::Keyboard;
    case shell::DeviceNeed::Mouse:
        return kind == detect::DeviceKind::Mouse;
    case shell::DeviceNeed::KeyboardOrMouse:
        return kind == detect::DeviceKind::Keyboard || kind == detect::DeviceKind::Mouse;
    case shell::DeviceNeed::Headset:
        return kind == detect::DeviceKind::Headset;
    case shell::DeviceNeed::None:
        break;
    }
    return true;
}

void CMainWnd::routeNotification(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    const std::wstring name(msg.pSender->GetName());
    const std::wstring& type = msg.sType;
    std::optional<shell::Route> route;
    if (type == L"click") {
        route = shell::clickRoute(name);
    } else if (type == L"itemselect") {
        route = shell::itemSelectRoute(name);
    } else if (type == L"selectchanged") {
        route = shell::selectChangedRoute(name);
    } else if (type == L"valuechanged" || type == L"movevaluechanged") {
        route = shell::valueChangedRoute(name, type == L"movevaluechanged");
    } else if (type == L"killfocus") {
        route = shell::killFocusRoute(name);
    } else if (type == L"return") {
        // Enter commits a typed value as leaving the field does; the key capture field
        // keeps its own meaning of leaving.
        route = shell::killFocusRoute(name);
        if (route && route->owner == shell::RouteOwner::Window)
            route.reset();
    } else if (type == L"colorchanged" || type == L"click_select_end") {
        route = shell::otherRoute(type, name);
    }
    if (route) {
        dispatch(*route, &msg);
        showPendingState();
    }
}

bool CMainWnd::dispatch(const shell::Route& route, TNotifyUI* msg)
{
    shell::ShellDevice* device = activeDevice();
    if (route.owner == shell::RouteOwner::Window) {
        runWindowRoute(route, msg);
        return true;
    }
    if (!deviceMatches(route.need, device))
        return false;
    if (device && m_editGuard && !m_editGuard(device))
        return true;
    if (route.owner == shell::RouteOwner::Device) {
        if (const auto tab = shell::functionTabNumber(route.command)) {
            if (msg && msg->pSender) {
                auto* option = static_cast<COptionUI*>(msg->pSender->GetInterface(L"Option"));
                if (option && !option->IsSelected())
                    return true;
            }
            device->SetFunctionTab(*tab);
        } else if (route.command == L"default_btn") {
            if (prompt(L"message_text_22", 1) != 1)
                return true;
        }
    }
    if (routeKeyToLighting(route, msg, device))
        return true;
    if (route.command == L"music_setting_btn")
        openMusicWindow();
    else if (const auto handler = m_pageHandlers.find(route.owner); handler != m_pageHandlers.end())
        handler->second(route, msg, device);
    else
        platform::debugOutput(L"no page handles " + std::wstring(route.command) + L" yet");
    if (route.alsoSavesKey) {
        if (const auto keys = m_pageHandlers.find(shell::RouteOwner::Keys);
            keys != m_pageHandlers.end())
            keys->second(shell::Route{shell::RouteOwner::Keys, L"key_butt_keysave",
                                      shell::DeviceNeed::KeyboardOrMouse},
                         msg, device);
    }
    return true;
}

void CMainWnd::runWindowRoute(const shell::Route& route, TNotifyUI* msg)
{
    const std::wstring_view command = route.command;
    if (msg && msg->sType == L"click" && route.number < 0 && shell::clickRoute(command) &&
        !shell::clickRouteAfterFirst(command)) {
        onClickFirst(route, *msg);
        return;
    }
    if (command == L"windowdeviceset_") {
        // The system's keyboard and mouse settings have no common launcher here.
        platform::debugOutput(L"no system keyboard or mouse settings to open");
    } else if (command == L"device_select_prev" || command == L"device_select_next") {
        const auto target = command == L"device_select_prev" ? m_tiles.previous() : m_tiles.next();
        if (target && mayLeaveActiveDevice(*target))
            showTile(*target, true, true);
    } else if (command == L"device_select" || command == L"synchro_device_select") {
        if (msg && msg->pSender && command == L"synchro_device_select") {
            if (CDeviceOptionUI* tile = tileOf(msg->pSender))
                tile->SetSynchro(tile->IsSynchro());
        }
        selectDeviceFromTiles();
    } else if (command == L"macro_btn_export" || command == L"macro_btn_import" ||
               command == L"shootdate_import_btn" || command == L"shootdate_export_btn") {
        onFileCommand(route);
    } else if (command == L"R_light_slider" || command == L"G_light_slider" ||
               command == L"B_light_slider") {
        if (msg)
            onColourSlider(route, *msg);
    } else if (command == L"keyset_keyboard_text_edit") {
        hookControl(msg && msg->sType == L"setfocus" ? 1 : 0);
    } else if (command == L"about_menu") {
        openAboutWindow();
    } else if (command == L"setwnd_menu" || command == L"setbtn") {
        CSetWnd::Open(m_hWnd, m_settingsWnd, m_languageIndex, m_dpi, defaultDataFolder(),
                      updateEntries());
    } else if (command == L"macro_action") {
        // The macro editor shows its action menu.
        if (const auto macros = m_pageHandlers.find(shell::RouteOwner::Macros);
            macros != m_pageHandlers.end())
            macros->second(route, msg, activeDevice());
    }
}

void CMainWnd::onClickFirst(const shell::Route& route, TNotifyUI& msg)
{
    const std::wstring_view command = route.command;
    if (command == L"closebtn") {
        if (!settlePendingChanges())
            return;
        closeChildWindows();
        if (!m_tray.IsVisible() || !m_tray.HasTrayHost()) {
            // Nowhere to come back from: closing ends the program.
            Close();
            return;
        }
        ShowWindow(false, false);
        setPausedAll(true);
        return;
    }
    if (command == L"minbtn") {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    }
    if (command == L"maxbtn") {
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        return;
    }
    if (command == L"restorebtn") {
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
        return;
    }
    if (command == L"pending_commit_btn") {
        // Another program may have deleted or renamed the shown profile: the view moves
        // first, so the save never lands in a file no list names.
        if (shell::ShellDevice* device = pendingDevice();
            device && (!m_editGuard || m_editGuard(device))) {
            const shell::Pending left = device->saveAndWrite();
            // The retry the user asked for says why it fell short, as the pages do.
            if (left == shell::Pending::Unsaved)
                prompt(L"change_not_saved_text", 0);
            else if (left == shell::Pending::Unwritten && !device->pendingReason().empty())
                prompt(device->pendingReason(), 0);
        }
        showPendingState();
        return;
    }
    if (command == L"nodevice_ok_btn") {
        // A hidden window comes back only through the tray; without one, minimise.
        if (m_tray.IsVisible() && m_tray.HasTrayHost())
            ShowWindow(false, false);
        else
            SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (command == L"nodevice_plug_btn") {
        // The emulated keyboard arrives as a real one would, through the watcher.
        if (!simulate(ui::script::SimAction::Plug, ui::script::SimLink::Cable))
            prompt(L"plug_emulated_failed_text", 0);
    } else if (command == L"control_light_status") {
        toggleLightingControl();
    } else if (command == L"skinbtn") {
        if (CSkinFrame* frame =
                CSkinFrame::Open(m_hWnd, msg.pSender, userDataFolder() / "main.ini"))
            frame->setNotice([this](const std::wstring& text) {
                CMsgWnd::ShowPrompt(m_hWnd, nullptr, text.c_str(), m_dpi, false, 0);
            });
    } else if (command == L"setbtn") {
        runWindowRoute(
            shell::Route{shell::RouteOwner::Window, L"setwnd_menu", shell::DeviceNeed::None},
            nullptr);
    }
    const std::wstring name(msg.pSender ? msg.pSender->GetName() : CDuiString());
    if (const auto next = shell::clickRouteAfterFirst(name))
        dispatch(*next, &msg);
}

void CMainWnd::broadcastLightingControl(bool control)
{
    shell::broadcastToPeers(shell::kGuidMessageNames[1], 1, control ? 1 : 0);
}

void CMainWnd::toggleLightingControl()
{
    m_lightingControl = !m_lightingControl;
    broadcastLightingControl(m_lightingControl);
    showLightingControlState();
    setLightingControl(m_lightingControl);
}

void CMainWnd::showLightingControlState()
{
    // The status is a language text: "控制灯光" / "不控制灯光" in Chinese.
    if (CControlUI* status = parts().lightingControlStatus)
        status->SetText(m_lightingControl ? L"control_light_on_text" : L"control_light_off_text");
}

void CMainWnd::onColourSlider(const shell::Route& route, TNotifyUI& msg)
{
    auto* slider = static_cast<CSliderUI*>(msg.pSender->GetInterface(L"Slider"));
    if (!slider)
        return;
    const int value = slider->GetValue();
    const wchar_t channel = route.command[0];
    sendAudioSlider(channel, value);
    const std::wstring labelName = std::wstring(1, channel) + L"_light_label";
    if (CControlUI* label = m_pm.FindControl(labelName))
        label->SetText(std::wstring(1, channel) + L" " + std::to_wstring(value));
}

std::optional<std::filesystem::path> CMainWnd::askForFile(bool save, std::wstring_view filterTextId,
                                                          std::wstring_view extension)
{
    const auto request = shell::fileDialogRequest(
        save, CResourceManager::GetInstance()->GetText(filterTextId), extension);
    ui::FileDialogOptions options;
    options.mode = save ? ui::FileDialogOptions::Mode::Save : ui::FileDialogOptions::Mode::Open;
    const bool macro = extension == L"mac";
    options.title = CResourceManager::GetInstance()->GetText(
        save ? (macro ? L"file_export_macro_title" : L"file_export_recoil_title")
             : (macro ? L"file_import_macro_title" : L"file_import_recoil_title"));
    options.filters = {ui::FileFilter{request.filterName, request.pattern}};
    options.kind = macro ? L"Macro" : L"Recoil";
    options.fileMustExist = request.fileMustExist;
    options.pathMustExist = true;
    options.defaultExtension = request.defaultExtension;
    auto chosen = ui::showFileDialog(m_hWnd, options);
    if (!chosen || chosen->empty())
        return std::nullopt;
    return chosen;
}

void CMainWnd::onFileCommand(const shell::Route& route)
{
    shell::ShellDevice* device = activeDevice();
    if (!deviceMatches(route.need, device))
        return;
    const bool shoot = route.command.starts_with(L"shootdate");
    const bool save = route.command.ends_with(L"export") || route.command.ends_with(L"export_btn");
    const auto owner = shoot ? shell::RouteOwner::Mouse : shell::RouteOwner::Macros;
    const auto handler = m_pageHandlers.find(owner);
    if (handler == m_pageHandlers.end()) {
        platform::debugOutput(L"no page handles " + std::wstring(route.command) + L" yet");
        return;
    }
    const auto file = shoot ? askForFile(save, L"file_filter_recoil_text", L"shoot")
                            : askForFile(save, L"file_filter_macro_text", L"mac");
    if (!file)
        return;
    TNotifyUI carried;
    carried.sType = file->wstring();
    handler->second(route, &carried, device);
}

UINT CMainWnd::prompt(std::wstring_view textId, int buttonMode)
{
    if (m_options.answerPrompt)
        return m_options.answerPrompt(textId, buttonMode);
    return CMsgWnd::ShowPrompt(m_hWnd, nullptr, std::wstring(textId).c_str(), m_dpi, true,
                               buttonMode);
}

UINT CMainWnd::promptWithNumber(std::wstring_view textId, long long number, int buttonMode)
{
    // The words come from a language file: the number is put in, never formatted.
    const std::wstring text = ui::substituteNumber(
        std::wstring(CResourceManager::GetInstance()->GetText(textId)), number);
    return CMsgWnd::ShowPrompt(m_hWnd, nullptr, text.c_str(), m_dpi, false, buttonMode);
}

UINT CMainWnd::promptText(std::wstring_view text, int buttonMode)
{
    // Tests answer these too, or a filled-in message would wait for a click for ever.
    if (m_options.answerPrompt)
        return m_options.answerPrompt(text, buttonMode);
    return CMsgWnd::ShowPrompt(m_hWnd, nullptr, std::wstring(text).c_str(), m_dpi, false,
                               buttonMode);
}

void CMainWnd::openAboutWindow()
{
    if (m_aboutWnd)
        return;
    CAboutWnd about;
    if (!about.Create(m_hWnd, L"  ", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, 0, 0, 480, 380))
        return;
    m_aboutWnd = about.GetHWND();
    about.CenterWindow();
    about.ShowModal();
    m_aboutWnd = nullptr;
}

void CMainWnd::OnControlItemActivate(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    if (const auto route = shell::otherRoute(L"itemactivate", std::wstring(msg.pSender->GetName())))
        dispatch(*route, &msg);
}

void CMainWnd::OnControlSetFocus(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    if (const auto route = shell::otherRoute(L"setfocus", std::wstring(msg.pSender->GetName())))
        dispatch(*route, &msg);
}

bool CMainWnd::settlePendingChanges()
{
    return settlePendingOf(m_devices);
}

bool CMainWnd::settlePending(shell::ShellDevice& device)
{
    return settlePendingOf({&device});
}

bool CMainWnd::settlePendingOf(const std::vector<shell::ShellDevice*>& devices)
{
    std::vector<shell::ShellDevice*> pending;
    for (shell::ShellDevice* device : devices)
        if (device->pending() != shell::Pending::None)
            pending.push_back(device);
    if (pending.empty())
        return true;
    // From the tray the window may be hidden: the question must be seen to be answered.
    if (!IsWindowVisible())
        bringForward();
    const UINT answer = prompt(L"pending_close_question_text", kSaveDiscardCancel);
    if (answer == kAnswerDiscard) {
        for (shell::ShellDevice* device : pending)
            device->discardPending();
        showPendingState();
        return true;
    }
    if (answer != kAnswerConfirm)
        return false;
    for (shell::ShellDevice* device : pending) {
        // A view the guard moved (its profile deleted elsewhere) has nothing left to save.
        if (m_editGuard && !m_editGuard(device))
            continue;
        // Saved but not written is safe to leave: the device takes the saved profile when
        // it is next connected. An unsaved change would be lost.
        if (device->saveAndWrite() == shell::Pending::Unsaved) {
            prompt(L"change_not_saved_text", 0);
            showPendingState();
            return false;
        }
    }
    showPendingState();
    return true;
}

shell::ShellDevice* CMainWnd::pendingDevice() const
{
    // The shown device's edits; else those kept for a device whose tile is gone.
    shell::ShellDevice* device = activeDevice();
    if (device && device->pending() != shell::Pending::None)
        return device;
    for (shell::ShellDevice* other : m_devices)
        if (other->pending() != shell::Pending::None)
            return other;
    return device;
}

const CMainWnd::WindowParts& CMainWnd::parts()
{
    CControlUI* root = m_pm.GetRoot();
    if (m_partsBound || !root)
        return m_parts;
    m_partsBound = true;
    using pages::bindControl;
    m_parts.pendingStatus = bindControl(root, L"pending_status");
    m_parts.pendingCommit = bindControl(root, L"pending_commit_btn");
    m_parts.lightingControlStatus = bindControl(root, L"control_light_status");
    m_parts.audioStatus = bindControl(root, L"audio_status");
    m_parts.settingsButton = bindControl<CButtonUI>(root, L"setbtn", L"Button");
    m_parts.settingsProgress = bindControl(root, L"setting_progress");
    m_parts.noDevice = bindControl(root, L"No_device_Link");
    m_parts.noDeviceTitle = bindControl(root, L"no_device_title");
    m_parts.noDeviceHint = bindControl(root, L"no_device_hint");
    m_parts.noDeviceTry = bindControl(root, L"no_device_try");
    m_parts.noDeviceCommand = bindControl(root, L"no_device_command");
    m_parts.noDevicePlug = bindControl(root, L"nodevice_plug_btn");
    m_parts.noDeviceAccess = bindControl(root, L"no_device_access");
    m_parts.headerModel = bindControl(root, L"title_model_label");
    return m_parts;
}

void CMainWnd::showPendingState()
{
    const shell::ShellDevice* device = pendingDevice();
    const shell::Pending state = device ? device->pending() : shell::Pending::None;
    const bool gone = device && !device->isOnline();
    if (CControlUI* label = parts().pendingStatus) {
        label->SetVisible(state != shell::Pending::None);
        label->SetText(gone                               ? L"pending_unplugged_text"
                       : state == shell::Pending::Unsaved ? L"pending_unsaved_text"
                                                          : L"pending_unwritten_text");
    }
    // Without the device only a save can be done now; the write follows its return.
    if (CControlUI* button = parts().pendingCommit)
        button->SetVisible(state == shell::Pending::Unsaved ||
                           (state == shell::Pending::Unwritten && !gone));
}

} // namespace app
