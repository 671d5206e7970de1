#include "pages/page_handlers.h"

#include "pages/device_profile_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/key_set_page_handler.h"
#include "pages/keyboard_system_page.h"
#include "pages/light_page_handlers.h"
#include "pages/macro_page.h"
#include "pages/models/page_offers.h"
#include "pages/models/profile_device_steps.h"
#include "pages/models/system_settings_model.h"
#include "pages/mouse_dpi_page.h"
#include "platform/debug_output.h"
#include "profile/stored_notices.h"
#include "shell/main_messages.h"
#include "shell/page_host.h"
#include "ui/button_ui.h"
#include "ui/file_dialog.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "windows/colour_select_wnd.h"

#include <memory>

namespace pages {
namespace {

CTessaryUSBDevice* usbDeviceOf(shell::ShellDevice* device)
{
    CControlUI* page = device ? device->page() : nullptr;
    return page ? static_cast<CTessaryUSBDevice*>(page->GetInterface(L"TessaryUSBDevice"))
                : nullptr;
}

model::UsbDeviceModel* modelOf(shell::ShellDevice* device)
{
    CTessaryUSBDevice* usb = usbDeviceOf(device);
    return usb ? &usb->model() : nullptr;
}

CTessaryKeyboardDevice* keyboardOf(shell::ShellDevice* device)
{
    CControlUI* page = device ? device->page() : nullptr;
    return page ? static_cast<CTessaryKeyboardDevice*>(page->GetInterface(L"TessaryKeyboardDevice"))
                : nullptr;
}

// The keyboard's system page shows what its profile holds now.
void showSystemPage(shell::ShellDevice* device)
{
    if (CTessaryKeyboardDevice* keyboard = keyboardOf(device))
        keyboard->systemPage().Show(keyboard->keyboard().profile().LoadSystemStages());
}

class Pages {
public:
    Pages(shell::PageHost& window, PageHooks hooks) : m_window(window), m_hooks(std::move(hooks))
    {
        if (!m_hooks.prompt)
            m_hooks.prompt = windowPrompt(m_window);
        if (!m_hooks.pickProfileFile) {
            m_hooks.pickProfileFile = [this](bool save, std::wstring_view proposedName) {
                ui::FileDialogOptions options;
                options.mode =
                    save ? ui::FileDialogOptions::Mode::Save : ui::FileDialogOptions::Mode::Open;
                options.title = CResourceManager::GetInstance()->GetText(
                    save ? L"file_export_profile_title" : L"file_import_profile_title");
                options.filters = {{std::wstring(CResourceManager::GetInstance()->GetText(
                                        L"file_filter_profile_text")),
                                    L"*.json;"}};
                options.kind = L"Profile";
                options.defaultExtension = L"json";
                options.fileMustExist = !save;
                options.fileName = proposedName;
                return ui::showFileDialog(m_window.windowHandle(), options);
            };
        }
    }

    void profile(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);
    // Before a change: another program may have renamed or deleted the shown profile.
    bool followExternalChanges(shell::ShellDevice* device);
    void system(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);

private:
    void initialise(shell::ShellDevice* device);
    void show(const std::optional<PanelMessage>& message)
    {
        if (message)
            m_hooks.prompt(*message, 0);
    }
    // Stored files set aside while loading are told at the notice timer, after the load.
    void noticeStoredFiles()
    {
        if (profile::hasStoredFileNotices())
            m_window.startTimer(shell::kProfileNoticeTimer, shell::kProfileNoticeDelayMs);
    }
    // Switch and reset: the device loads the panel's profile and writes it.
    void loadDevice(CDeviceProfileUI& panel, shell::ShellDevice* device, StaleMacroKeys stale);

    shell::PageHost& m_window;
    PageHooks m_hooks;
    std::vector<PanelMessage> m_notices; // shown at kProfileNoticeTimer
};

void Pages::initialise(shell::ShellDevice* device)
{
    CDeviceProfileUI* panel = profilePanelOf(device);
    model::UsbDeviceModel* model = modelOf(device);

    if (!panel || !model)
        return;
    model->setDataRoot(m_window.userDataFolder());
    panel->SetDeviceKind(model->GetKind());
    panel->SetPaths(model->dataFolder(), model->factoryProfilePath());
    if (auto problem = panel->Initialize()) {
        platform::debugOutput(problem->englishText());
        // Not now: a device can start while the window is being made, before anyone sees it.
        m_notices.push_back(std::move(*problem));
        m_window.startTimer(shell::kProfileNoticeTimer, shell::kProfileNoticeDelayMs);
    }
    panel->SelectTab(1);

    if (panel->model())
        adoptPanelProfile(*model, *panel->model());
    if (model->LoadProfile() == model::ProfileResult::Ok)
        showSystemPage(device);
    noticeStoredFiles();
}

void Pages::loadDevice(CDeviceProfileUI& panel, shell::ShellDevice* device, StaleMacroKeys stale)
{
    CTessaryUSBDevice* usb = usbDeviceOf(device);
    if (!usb || !panel.model())
        return;
    const DeviceStepsResult result =
        loadAndWriteProfile(usb->model(), *panel.model(), stale, usb->pending());
    showSystemPage(device);
    show(result.message);
    noticeStoredFiles();
}

bool Pages::followExternalChanges(shell::ShellDevice* device)
{
    CDeviceProfileUI* panel = profilePanelOf(device);
    if (!panel || !panel->model())
        return true;
    const PanelOutcome outcome = panel->model()->followExternalChanges();
    if (outcome.reloadDevice)
        loadDevice(*panel, device, StaleMacroKeys::Drop);
    if (outcome.listChanged)
        panel->ShowList();
    show(outcome.message);
    return !outcome.reloadDevice;
}

void Pages::profile(const shell::Route& route, TNotifyUI*, shell::ShellDevice* device)
{
    const std::wstring_view command = route.command;
    if (command == L"device_profile_init") {
        initialise(device);
        return;
    }
    if (command == L"device_profile_notice") {
        // Taken out first: the prompt's own loop may bring the next device's notice.
        std::vector<PanelMessage> notices;
        notices.swap(m_notices);
        for (const profile::StoredFileNotice& stored : profile::takeStoredFileNotices())
            notices.push_back(storedFileMessage(stored));
        for (const PanelMessage& notice : notices)
            show(notice);
        return;
    }
    CDeviceProfileUI* panel = profilePanelOf(device);
    if (!panel || !panel->model())
        return;
    ProfilePanelModel& model = *panel->model();
    auto apply = [&](const PanelOutcome& outcome) {
        if (outcome.listChanged)
            panel->ShowList();
        show(outcome.message);
    };
    if (command == L"device_add_btn") {
        apply(model.add());
    } else if (command == L"device_sub_btn") {
        if (const auto question = model.removeQuestion())
            if (m_hooks.prompt(*question, 1) != 1)
                return;
        const PanelOutcome outcome = model.remove();
        if (outcome.reloadDevice)
            loadDevice(*panel, device, StaleMacroKeys::Drop);
        apply(outcome);
    } else if (command == L"device_copy_btn") {
        apply(model.copy());
    } else if (command == L"device_profile_edit_save_btn") {
        const std::wstring name = panel->GetNameText();
        if (!name.empty())
            apply(model.rename(name));
    } else if (command == L"profile_fun_spread_btn") {
        panel->ShowMenu(!panel->IsMenuShown());
    } else if (command == L"device_profile_combo") {
        // The name box follows the choice at once; the device switches once it settles.
        if (const int index = panel->GetSelectedIndex();
            index >= 0 && index < static_cast<int>(model.items().size()))
            panel->SetNameText(model.items()[static_cast<std::size_t>(index)]);
        m_window.startTimer(shell::kProfileSwitchTimer,
                            static_cast<UINT>(ProfilePanelModel::kSwitchDelay.count()));
    } else if (command == L"device_profile_switch") {
        if (device && panel->GetSelectedIndex() != model.selectedIndex() &&
            !m_window.settlePending(*device)) {
            // Cancelled: the combo names the profile still shown.
            panel->ShowList();
            return;
        }
        const PanelOutcome outcome = model.select(panel->GetSelectedIndex());
        if (outcome.reloadDevice)
            loadDevice(*panel, device, StaleMacroKeys::Drop);
        if (outcome.listChanged) // refused: the combo goes back to the profile still shown
            panel->ShowList();
        panel->SetNameText(model.nameText());
        show(outcome.message);
    } else if (command == L"device_reset_btn") {
        if (m_hooks.prompt(ProfilePanelModel::resetQuestion(), 1) != 1)
            return;
        const PanelOutcome outcome = model.reset();
        if (outcome.reloadDevice)
            loadDevice(*panel, device, StaleMacroKeys::Keep);
        show(outcome.message);
    } else if (command == L"device_import_btn" || command == L"device_export_btn") {
        // The model's selection: the combo has none while the commands hide it.
        if (model.selectedIndex() < 0)
            return;
        const bool save = command == L"device_export_btn";
        const auto file = m_hooks.pickProfileFile(save, save ? model.exportFileName() : L"");
        if (!file || file->empty())
            return;
        apply(save ? model.exportTo(*file) : model.importFrom(*file));
    }
}

void Pages::system(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device)
{
    if (route.command == shell::kLanguageChangedCommand) {
        for (std::size_t i = 0; i < m_window.deviceCount(); ++i)
            if (CTessaryKeyboardDevice* keyboard = keyboardOf(m_window.deviceAt(i)))
                KeyboardSystemPage(keyboard).RefreshTexts();
        return;
    }
    CTessaryKeyboardDevice* keyboard = keyboardOf(device);
    if (!keyboard)
        return;
    KeyboardSystemPage& page = keyboard->systemPage();
    const std::wstring_view command = route.command;
    if (command == L"reset_repeat_btn") {
        page.ClearRepeatInput();
        return;
    }
    // An option group reports the option that lost its selection as well.
    auto* option = msg && msg->pSender
                       ? static_cast<COptionUI*>(msg->pSender->GetInterface(L"Option"))
                       : nullptr;
    std::optional<SystemField> field;
    int value = 0;
    if (command == L"polling_rate_option_") {
        if (option && !option->IsSelected())
            return;
        field = SystemField::PollingRate;
        value = route.number;
    } else if (command == L"repeat_delay_check_") {
        if (option && !option->IsSelected())
            return;
        field = SystemField::RepeatDelay;
        value = route.number;
    } else if (command == L"repeat_rate_slider") {
        field = SystemField::RepeatRate;
        value = page.GetRepeatRate();
    } else if (command == L"6flag_option") {
        field = SystemField::SixKey;
        value = page.GetSixKeyFlag();
    } else if (command == L"wflag_option") {
        field = SystemField::WFlag;
        value = page.GetWFlag();
    } else if (command == L"winlockflag_option") {
        field = SystemField::WinLock;
        value = page.GetWinLock();
    }
    if (!field)
        return;
    // A control the keyboard does not offer is disabled and says why; nothing to answer.
    const SystemPageOffers offers = systemPageOffers(keyboard->model().capabilities());
    if (!(writesDevice(*field) ? offers.deviceFields : offers.profileFields).enabled)
        return;
    const SystemChange change = applySystemChange(keyboard->keyboard(), *field, value);
    keyboard->pending().committed(ProfileBlock::Settings, change.result);
    if (*field == SystemField::PollingRate)
        page.SetPollingRate(change.stages.pollingRate);
    else if (*field == SystemField::RepeatDelay)
        page.SetRepeatDelay(change.stages.repeatDelay);
    show(changeMessage(change.result));
}

} // namespace

CDeviceProfileUI* profilePanelOf(shell::ShellDevice* device)
{
    CTessaryUSBDevice* usb = usbDeviceOf(device);
    return usb ? usb->profilePanel() : nullptr;
}

ColourPicker windowColourPicker(shell::PageHost& window)
{
    return [&window](std::uint32_t initial) {
        return CColorSelectWnd::Pick(window.windowHandle(), initial, window.layoutDpi(),
                                     window.userDataFolder(), window.defaultDataFolder());
    };
}

PromptFunction windowPrompt(shell::PageHost& window)
{
    return [&window](const PanelMessage& message, int buttonMode) -> unsigned {
        if (!message.number && !message.name)
            return window.prompt(message.textId, buttonMode);
        CResourceManager* texts = CResourceManager::GetInstance();
        const std::wstring text = texts->HasText(message.textId)
                                      ? std::wstring(texts->GetText(message.textId))
                                      : std::wstring(message.english);
        return window.promptText(message.fill(text), buttonMode);
    };
}

void installPageHandlers(shell::PageHost& window, PageHooks hooks)
{
    installLightingHandlers(window, LightingHooks{hooks.pickColour});
    installKeySetHandler(window, hooks);
    installMouseDpiPage(window, hooks);
    MacroPageHooks macroHooks;
    macroHooks.prompt = hooks.prompt;
    auto pages = std::make_shared<Pages>(window, std::move(hooks));
    window.setPageHandler(
        shell::RouteOwner::Profile,
        [pages](const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device) {
            pages->profile(route, msg, device);
        });
    window.setPageHandler(
        shell::RouteOwner::System,
        [pages](const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device) {
            pages->system(route, msg, device);
        });
    window.setEditGuard(
        [pages](shell::ShellDevice* device) { return pages->followExternalChanges(device); });
    installMacroPage(window, std::move(macroHooks));
}

} // namespace pages
