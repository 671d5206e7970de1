#include "app/main_wnd.h"

#include "app/device_option_ui.h"
#include "app/main_audio.h"
#include "app/main_lighting.h"
#include "app/message_checks.h"
#include "app/watcher_sink.h"
#include "device/detect/hid_interface_source.h"
#include "device/detect/permission_problem.h"
#include "hook/device_hook.h"
#include "pages/custom_controls.h"
#include "pages/device_profile_ui.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/devices/tessary_mouse_device.h"
#include "pages/key_set_control_ui.h"
#include "pages/light_control_ui.h"
#include "pages/page_handlers.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/message_queue.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "profile/stored_notices.h"
#include "shell/app_messages.h"
#include "shell/main_messages.h"
#include "shell/peers.h"
#include "ui/dialog_builder.h"
#include "ui/file_dialog.h"
#include "ui/label_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "update/update_check.h"
#include "update/update_model.h"
#include "windows/main_skin.h"
#include "windows/set_wnd.h"

#include <algorithm>
#include <array>
#include <span>
#include <sstream>

namespace app {

std::atomic<bool> CMainWnd::s_awake{true};

namespace {

// The command that lets the user open the node, in no language: the packaged rule only needs
// applying, a checkout's must be installed first.
std::string udevRuleCommand()
{
    if (const auto installed = detect::installedRule())
        return installed->string() + "\n" + detect::kUdevTrigger;
    return detect::kUdevInstall;
}

constexpr std::wstring_view kInstanceName = L"SPhalvek2vizudi";
constexpr std::wstring_view kFontFace = L"Verdana Unicode MS";
constexpr std::chrono::milliseconds kWatcherStop{1000};
constexpr int kLayoutWidth = 1000;
constexpr int kLayoutHeight = 640;

// The hook messages that go to the macro recorder and key capture.
constexpr std::array<std::wstring_view, 9> kHookMessages{
    L"WM_HOOK_KEY_SINGLEKEY_MSG",     L"WM_HOOK_KEY_KBMACRO_MSG",
    L"WM_HOOK_KEY_KBMACROLATER_MSG",  L"WM_HOOK_KEY_KBMACROPREVIOUS_MSG",
    L"WM_HOOK_KEY_KBMACROSINGLE_MSG", L"WM_HOOK_KEY_MSMACRO_MSG",
    L"WM_HOOK_KEY_MSMACROLATER_MSG",  L"WM_HOOK_KEY_MSMACROPREVIOUS_MSG",
    L"WM_HOOK_KEY_MSMACROSINGLE_MSG"};
constexpr std::wstring_view kHitKeyMessage = L"WM_HOOK_KEY_HITKEY_MSG";

struct FontRow {
    int id; // -1: the default font
    int size;
    bool bold;
    bool underline;
};
constexpr std::array<FontRow, 15> kFontTable{{
    {-1, 14, false, false},
    {0, 15, false, false},
    {1, 14, false, true},
    {2, 18, false, false},
    {3, 30, false, false},
    {4, 16, false, false},
    {5, 20, false, false},
    {6, 22, false, false},
    {7, 14, false, false},
    {8, 12, false, false},
    {9, 11, false, false},
    {10, 10, false, false},
    {11, 28, false, false},
    {50, 18, true, false},
    {51, 7, true, false},
}};

// Runs the steps on the calling thread: for passes driven from the UI thread itself.
class UiThreadSink final : public detect::WatcherSink {
public:
    explicit UiThreadSink(HWND window) : m_window(window) {}
    void interfaceArrived(std::size_t row, const platform::Event&) override
    {
        platform::sendMessage(m_window, shell::MSG_DEVICE_ARRIVED, row, 0);
    }
    void interfaceRemoved(std::size_t row, const platform::Event&) override
    {
        platform::sendMessage(m_window, shell::MSG_DEVICE_REMOVED, row, 0);
    }
    void firstPassDone() override {}

private:
    HWND m_window;
};

bool isMessage(UINT msg, std::wstring_view name)
{
    return msg != 0 && msg == platform::registerMessage(name);
}

// The DPI the desktop asks for, as one of the allowed values (96 when none fits).
int snappedDpi(int dpi)
{
    const int snapped = (dpi + 12) / 24 * 24;
    return ui::isAllowedDpi(snapped) ? snapped : 96;
}

} // namespace

DUI_BEGIN_MESSAGE_MAP(CMainWnd, WindowImplBase)
DUI_ON_MSGTYPE(L"itemactivate", OnControlItemActivate)
DUI_ON_MSGTYPE(L"setfocus", OnControlSetFocus)
DUI_END_MESSAGE_MAP()

CMainWnd::CMainWnd(MainWndOptions options)
    : m_options(std::move(options)),
      m_tray(m_options.tray ? std::move(m_options.tray) : ui::createStatusNotifierBackend()),
      m_links(m_table, *this),
      m_hook(m_options.inputHook ? std::make_unique<hook::CDeviceHook>(m_options.inputHook)
                                 : std::make_unique<hook::CDeviceHook>())
{
    m_mainPage.AddVirtualWnd(L"mainpage", &m_mainPage);
    AddVirtualWnd(L"mainpage", &m_mainPage);
    pages::installPageHandlers(*this);
}

CMainWnd::~CMainWnd()
{
    stopLighting();
    // Pages let go of the hook while the window still holds it.
    m_pageHandlers.clear();
    removeHook();
    if (m_watcher) {
        while (!m_watcher->stop(kWatcherStop))
            platform::debugOutput(L"device watcher has not ended; still waiting");
    }
    if (m_trayMenu)
        CMenuWnd::DestroyMenu();
    RemoveVirtualWnd(L"mainpage");
    m_lists.clear();
    m_powerTiles.clear();
    if (CResourceManager::GetInstance())
        CResourceManager::GetInstance()->SetTextQueryInterface(nullptr);
}

std::filesystem::path CMainWnd::defaultDataFolder() const
{
    return std::filesystem::path(platform::toUtf8(CPaintManagerUI::GetInstancePath())) /
           "DefaultData";
}

std::filesystem::path CMainWnd::userDataFolder() const
{
    std::filesystem::path folder = m_options.userDataFolder.empty()
                                       ? platform::userDataFolder() / "SPhalvek2vizudi"
                                       : m_options.userDataFolder;
    if (const auto made = platform::createFolders(folder); !made)
        platform::debugOutput("user data folder not created: " + made.error().message);
    return folder;
}

void CMainWnd::InitWindow()
{
    platform::debugOutput(L"InitWindow");
    auto* resources = CResourceManager::GetInstance();
    resources->SetTextQueryInterface(this);
    resources->LoadLanguage(L"lan_cn.xml");
    shell::appMessages().mainWindow = m_hWnd;
    SetIcon(107);
    m_tray.SetMenu(ui::readMenuItems(L"menu.xml"));
    m_tray.CreateTrayIcon(m_hWnd, 107, kInstanceName, shell::MSG_TRAY);
    // Without logind the program simply never hears of suspend.
    if (const auto power = m_power.start(m_hWnd); !power)
        platform::debugOutput("suspend and resume notices unavailable: " + power.error().message);
    m_skin = std::make_unique<windows::MainSkin>(m_pm);
    m_skin->restore(windows::SkinIni(userDataFolder() / "main.ini"));
    // The one version About and the update list show too.
    if (CControlUI* version = m_pm.FindControl(L"status_version_label"))
        version->SetText(L"Halvek " +
                         update::applicationVersionLabel(update::applicationVersionText()));
}

CControlUI* CMainWnd::CreateControl(const wchar_t* className)
{
    const std::wstring_view tag(className ? className : L"");
    struct Direct {
        std::wstring_view tag;
        CControlUI* (*create)();
    };
    static constexpr Direct kDirect[] = {
        {L"CircleProgress", []() -> CControlUI* { return new CCircleProgressUI(); }},
        {L"SelectPanel", []() -> CControlUI* { return new CSelectPanelUI(); }},
        {L"DeviceKeyButton", []() -> CControlUI* { return new CDeviceKeyButtonUI(); }},
        {L"HandImgButton", []() -> CControlUI* { return new CHandImgButtonUI(); }},
        {L"AudioRecord", []() -> CControlUI* { return new CAudioRecordUI(); }},
        {L"HandImgSelectButton", []() -> CControlUI* { return new CHandImgSelectButtonUI(); }},
        {L"RedioMacroButton", []() -> CControlUI* { return new CRedioMacroButtonUI(); }},
        {L"ComboEditContainerElement",
         []() -> CControlUI* { return new CComboEditContainerElementUI(); }},
        {L"TessaryMousePadDevice", []() -> CControlUI* { return new CTessaryUSBDevice(); }},
        {L"TessaryHS6533Device", []() -> CControlUI* { return new CTessaryUSBDevice(); }},
        {L"TessaryMouseDevice", []() -> CControlUI* { return new CTessaryMouseDevice(); }},
        {L"TessaryKeyboardDevice", []() -> CControlUI* { return new CTessaryKeyboardDevice(); }},
        {L"DeviceProfile", []() -> CControlUI* { return new CDeviceProfileUI(); }},
        {L"LightControl", []() -> CControlUI* { return new CLightControlUI(); }},
        {L"MagicControl", []() -> CControlUI* { return new PlaceholderLayoutUI(L"MagicControl"); }},
        {L"Voice6533Control",
         []() -> CControlUI* { return new PlaceholderLayoutUI(L"Voice6533Control"); }},
        {L"KeySetControl", []() -> CControlUI* { return new CKeySetControlUI(); }},
        {L"ShootControl", []() -> CControlUI* { return new PlaceholderLayoutUI(L"ShootControl"); }},
    };
    for (const auto& row : kDirect) {
        if (shell::equalsNoCase(row.tag, tag))
            return row.create();
    }
    struct FromFile {
        std::wstring_view tag;
        std::wstring_view file;
    };
    static constexpr FromFile kFromFile[] = {
        {L"DeviceProfileUI", L"XML\\CustomControlXML\\DeviceProfile.xml"},
        {L"LightSetControlUI", L"XML\\CustomControlXML\\LightControl.xml"},
        {L"Voice6533SetControlUI", L"XML\\CustomControlXML\\Voice6533Control.xml"},
        {L"MagicSetControlUI", L"XML\\CustomControlXML\\MagicControl.xml"},
        {L"KeySetControlUI", L"XML\\CustomControlXML\\KeySetControl.xml"},
        {L"MacroSetControlUI", L"XML\\CustomControlXML\\MacroControl.xml"},
        {L"ShootKeySetControlUI", L"XML\\CustomControlXML\\ShootControl.xml"},
        {L"VirtualSetControlUI", L"XML\\CustomControlXML\\VirtualSet.xml"},
    };
    for (const auto& row : kFromFile) {
        if (shell::equalsNoCase(row.tag, tag))
            return CDialogBuilder().Create(row.file, nullptr, nullptr, &m_pm);
    }
    return nullptr;
}

const wchar_t* CMainWnd::QueryControlText(const wchar_t*, const wchar_t*)
{
    // Asked for every id; the language file has the words, so there is nothing to add.
    return nullptr;
}

void CMainWnd::windowInit()
{
    // The system's message filter has no counterpart: other programs reach us by name.
    const auto& messages = shell::appMessages();
    shell::broadcastToPeers(shell::kGuidMessageNames[1], 1, 1);

    m_languageTable = shell::LanguageTable::read(defaultDataFolder() / "Language.config");
    const auto settingsFile = m_options.settingsFile.empty()
                                  ? platform::SettingsStore::defaultFile()
                                  : m_options.settingsFile;
    ui::rememberFoldersIn(settingsFile);
    const auto savedId = platform::SettingsStore(settingsFile)
                             .integer(L"LANGUAGE")
                             .value_or(shell::LanguageTable::kMissingId);
    applyLanguageIndex(m_languageTable.indexOfId(savedId));

    // The mouse and the keyboard exist from the start, with hidden tiles.
    const auto& types = detect::deviceTypes();
    const auto rows = m_table.rows();
    for (std::size_t typeIndex = 0; typeIndex < 2; ++typeIndex) {
        for (std::size_t row = 0; row < rows.size(); ++row) {
            const auto& r = rows[row];
            if (r.vendorId == types[typeIndex].vendorId &&
                r.productId == types[typeIndex].productId && r.typeId == types[typeIndex].typeId &&
                r.role == types[typeIndex].role) {
                createDevice(row, typeIndex);
                break;
            }
        }
    }
    updateNoDeviceNotice();
    // Sized for the screen at once, so the first frame shown is already the right one.
    applyScreenLayout();
    ShowWindow(false, false);

    if (m_options.startWatcher) {
        detect::InterfaceSource* source = m_options.interfaces;
        if (!source) {
            m_ownSource = std::make_unique<detect::HidInterfaceSource>();
            source = m_ownSource.get();
        }
        m_sink = std::make_unique<MainWatcherSink>(m_hWnd, shell::MSG_DEVICE_ARRIVED,
                                                   shell::MSG_DEVICE_REMOVED, messages.instance);
        m_watcher = std::make_unique<detect::DeviceWatcher>(m_table, *source, *m_sink);
        if (!m_watcher->start())
            platform::debugOutput(L"device watcher not started");
    }
    startLighting();
    SetTimer(shell::kLayoutTimer, 100);
    m_initialised = true;
    loadAudioData();
}

void CMainWnd::runWatcherPass()
{
    detect::InterfaceSource* source = m_options.interfaces;
    if (!source)
        return;
    UiThreadSink sink(m_hWnd);
    detect::DeviceWatcher pass(m_table, *source, sink);
    platform::Event stop(platform::Event::ResetPolicy::Manual);
    pass.runPass(stop);
}

void CMainWnd::shutdown()
{
    platform::debugOutput(L"退出测试");
    m_shuttingDown = true;
    removeHook();
    m_power.stop();
    stopLighting();
    ShowWindow(false, false);
    if (m_watcher) {
        // The watcher gives up any report it is waiting on as soon as it is told to stop,
        // so this ends; a pass in the middle of a probe takes a moment longer.
        bool ended = m_watcher->stop(kWatcherStop);
        platform::debugOutput(ended ? L"所有对象处于激发状态\n"
                                    : L"所有对象处于非激发状态，超时\n");
        while (!ended)
            ended = m_watcher->stop(kWatcherStop);
    }
    shutdownAudioCompanion();
    m_tray.DeleteTrayIcon();
    platform::postQuitMessage(0);
}

LRESULT CMainWnd::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled)
{
    removeHook();
    m_tray.DeleteTrayIcon();
    platform::postQuitMessage(0);
    bHandled = false;
    return 0;
}

LRESULT CMainWnd::OnGetMinMaxInfo(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT CMainWnd::OnLButtonDown(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT CMainWnd::OnLButtonUp(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

LRESULT CMainWnd::OnMouseMove(UINT, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    return 0;
}

void CMainWnd::Notify(TNotifyUI& msg)
{
    const std::wstring name = msg.pSender ? std::wstring(msg.pSender->GetName()) : std::wstring();
    if (msg.sType != L"timer") {
        platform::debugOutput(msg.sType);
        platform::debugOutput(name);
    }
    if (msg.sType == L"windowinit") {
        windowInit();
    } else if (msg.sType == L"windowsize") {
        if (name == L"root" && m_displayChanged) {
            m_displayChanged = false;
            layoutForScreen();
        }
    } else if (msg.sType == L"click_wpremove" || msg.sType == L"click_wpedit") {
        return;
    } else {
        routeNotification(msg);
        // A page may have read a stored file that had to be set aside (the macro list for
        // key labels, a macro's events): the profile notice says so once it is done.
        if (profile::hasStoredFileNotices())
            SetTimer(shell::kProfileNoticeTimer, shell::kProfileNoticeDelayMs);
    }
    WindowImplBase::Notify(msg);
}

void CMainWnd::OnClick(TNotifyUI&)
{
    // Clicks are routed by the tables; the library's close button must not end the program.
}

void CMainWnd::comeForward(WPARAM wParam, LPARAM lParam)
{
    std::wostringstream line;
    line << L"软件标示 " << shell::appMessages().instance << L"，" << std::hex << wParam << L"d"
         << lParam << L"d";
    platform::debugOutput(line.str());
    bringForward();
}

void CMainWnd::bringForward()
{
    updateNoDeviceNotice();
    setPausedAll(false);
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    ShowWindow(true, true);
    SetTopMost(true);
    BringToFront();
    SetTimer(shell::kTopMostTimer, 10);
}

void CMainWnd::updateNoDeviceNotice()
{
    const WindowParts& shown = parts();
    if (CControlUI* notice = shown.noDevice)
        notice->SetVisible(m_tiles.visibleCount() == 0);
    // A device that is there but may not be opened is no "no device": say how to fix it.
    const auto problems = m_table.permissionProblems();
    if (CControlUI* title = shown.noDeviceTitle)
        title->SetText(problems.empty() ? L"no_device_text" : L"access_title_text");
    if (CControlUI* hint = shown.noDeviceHint)
        hint->SetVisible(problems.empty());
    // What this run can do: plug the emulated devices in, or start a run that has them.
    const bool simulated = m_options.simulated;
    if (CControlUI* tryLine = shown.noDeviceTry)
        tryLine->SetText(simulated ? L"try_plug_emulated_text" : L"try_emulated_text");
    if (CControlUI* command = shown.noDeviceCommand)
        command->SetVisible(!simulated);
    if (CControlUI* plug = shown.noDevicePlug)
        plug->SetVisible(simulated);
    if (CControlUI* access = shown.noDeviceAccess) {
        access->SetVisible(!problems.empty());
        if (!problems.empty()) {
            const auto& problem = problems.front();
            access->SetText(
                std::wstring(CResourceManager::GetInstance()->GetText(L"access_hint_text")) +
                L"\n" + platform::fromUtf8(problem.node + ": " + problem.missing) + L"\n" +
                platform::fromUtf8(udevRuleCommand()));
        }
    }
}

void CMainWnd::setPausedAll(bool paused)
{
    m_lists.forEach({detect::DeviceKind::Mouse, detect::DeviceKind::Keyboard},
                    [&](shell::ShellDevice& d) { d.setPaused(paused); });
}

void CMainWnd::setLightingControl(bool control)
{
    m_lists.forEach(
        {detect::DeviceKind::Mouse, detect::DeviceKind::MousePad, detect::DeviceKind::Keyboard},
        [&](shell::ShellDevice& d) { d.setLightingControl(control); });
}

void CMainWnd::setWindowActive(bool active)
{
    m_windowActive = active;
    m_lists.forEach(
        {detect::DeviceKind::Mouse, detect::DeviceKind::MousePad, detect::DeviceKind::Keyboard},
        [&](shell::ShellDevice& d) { d.setWindowActive(active); });
}

void CMainWnd::setMultiDevice(bool multi)
{
    m_lists.forEach({detect::DeviceKind::Keyboard, detect::DeviceKind::Mouse,
                     detect::DeviceKind::MousePad, detect::DeviceKind::Headset},
                    [&](shell::ShellDevice& d) { d.setMultiDevice(multi); });
}

void CMainWnd::closeChildWindows()
{
    for (HWND child : {m_settingsWnd, m_aboutWnd, m_colourWnd, m_musicWnd}) {
        if (child)
            platform::sendMessage(child, WM_CLOSE, 0, 0);
    }
}

void CMainWnd::rebuildFonts()
{
    m_pm.RemoveAllFonts(true);
    for (const auto& row : kFontTable) {
        if (row.id < 0)
            m_pm.SetDefaultFont(kFontFace, row.size, row.bold, row.underline, false, true);
        else
            m_pm.AddFont(row.id, kFontFace, row.size, row.bold, row.underline, false, true);
    }
}

void CMainWnd::applyLanguageIndex(int index)
{
    if (index == m_languageIndex)
        return;
    if (shell::languageNeedsFontRebuild(m_languageIndex, index))
        rebuildFonts();
    m_languageIndex = index;
    // A missing entry must not apply an empty language or overwrite the saved choice.
    if (const auto entry = m_languageTable.entry(index)) {
        auto* resources = CResourceManager::GetInstance();
        resources->SetLanguage(entry->name);
        resources->LoadLanguage(entry->file);
        resources->ReloadText();
        m_tray.SetMenu(ui::readMenuItems(L"menu.xml"));
        const auto settingsFile = m_options.settingsFile.empty()
                                      ? platform::SettingsStore::defaultFile()
                                      : m_options.settingsFile;
        if (platform::SettingsStore(settingsFile).setInteger(L"LANGUAGE", entry->id))
            platform::debugOutput(L"写成功！");
    } else {
        platform::debugOutput(L"language index " + std::to_wstring(index) +
                              L" has no entry in Language.config; texts unchanged");
    }
    m_pm.Invalidate();
    for (HWND child : {m_settingsWnd, m_aboutWnd, m_musicWnd}) {
        if (child)
            platform::sendMessage(child, shell::MSG_LANGUAGE_CHANGED, 0, 0);
    }
    if (CControlUI* root = m_pm.GetRoot())
        root->NeedUpdate();
    m_pm.NeedUpdate();
}

void CMainWnd::applyScreenLayout()
{
    const RECT area = ui::windowBackend().workArea();
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    int dpi = (width > 1500 && height > 960) ? 144 : 96;
    // A desktop that scales its windows asks for more than the screen's size would.
    dpi = std::max(dpi, snappedDpi(ui::windowBackend().screenDpi()));
    // The skin is laid out for one size and cannot shrink: a window larger than the screen
    // would hide its edges, so a smaller scale step that shows all of it is taken instead.
    dpi = ui::dpiThatFits(SIZE{kLayoutWidth, kLayoutHeight}, area, dpi);
    if (!ui::isAllowedDpi(dpi)) {
        platform::debugOutput(L"MAIN_WND DPI SET ERROR");
        dpi = 96;
    }
    m_dpi = dpi;
    CPaintManagerUI::SetAllDPI(96);
    ResizeClient(kLayoutWidth, kLayoutHeight);
    CPaintManagerUI::SetAllDPI(dpi);
    CenterWindow();
}

void CMainWnd::layoutForScreen()
{
    const bool shown = IsWindowVisible() && !IsIconic();
    if (!shown)
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    applyScreenLayout();
    ShowWindow(shown, false);
}

void CMainWnd::toggleFromTray()
{
    updateNoDeviceNotice();
    const bool shown = IsWindowVisible() && !IsIconic();
    closeChildWindows();
    if (shown) {
        ShowWindow(false, false);
        setPausedAll(true);
        return;
    }
    ShowWindow(true, true);
    layoutForScreen();
    ShowWindow(true, true);
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    SetTopMost(true);
    SetTimer(shell::kTopMostTimer, 10);
    m_pm.Invalidate();
    setPausedAll(false);
    if (CControlUI* root = m_pm.GetRoot())
        root->NeedUpdate();
}

void CMainWnd::showTrayMenu()
{
    if (m_trayMenu)
        CMenuWnd::DestroyMenu();
    // No taskbar to align with here: the menu opens at the cursor, up and to the left.
    const POINT cursor = ui::windowBackend().cursorPos();
    m_trayMenu = CMenuWnd::CreateMenu(nullptr, L"menu.xml", cursor, &m_pm, &m_menuCheckInfo,
                                      eMenuAlignment_Left | eMenuAlignment_Top);
}

void CMainWnd::OnMainTimer(UINT_PTR id)
{
    // Control timers travel as window timers too; they are the paint manager's.
    if (id != shell::kLayoutTimer && id != shell::kTrayMenuTimer &&
        id != shell::kProfileSwitchTimer && id != shell::kProfileNoticeTimer &&
        id != shell::kGameRestoreTimer && id != shell::kTopMostTimer &&
        id != shell::kAudioCompanionTimer)
        return;
    KillTimer(id);
    switch (id) {
    case shell::kLayoutTimer:
        layoutForScreen();
        ShowWindow(true, true);
        m_pm.Invalidate();
        takeUpAudioCompanion();
        break;
    case shell::kAudioCompanionTimer:
        onAudioCompanionTimer();
        break;
    case shell::kTrayMenuTimer:
        showTrayMenu();
        break;
    case shell::kProfileSwitchTimer:
    case shell::kProfileNoticeTimer:
        if (auto handler = m_pageHandlers.find(shell::RouteOwner::Profile);
            handler != m_pageHandlers.end())
            handler->second(shell::Route{shell::RouteOwner::Profile,
                                         id == shell::kProfileSwitchTimer
                                             ? L"device_profile_switch"
                                             : L"device_profile_notice",
                                         shell::DeviceNeed::Any},
                            nullptr, activeDevice());
        break;
    case shell::kTopMostTimer:
        SetTopMost(false);
        break;
    case shell::kGameRestoreTimer:
        restoreAfterGame();
        break;
    default:
        break;
    }
}

void CMainWnd::handleCopyData(const COPYDATASTRUCT* data)
{
    if (!data)
        return;
    if (data->dwData == 1) {
        if (m_audio && data->cbData > 0)
            m_audio->noteSound();
        // Only the bytes that arrived are read; the feed reads missing samples as 0.
        if (m_lighting && data->lpData && data->cbData > 0 &&
            !m_lighting->copyData(
                data->dwData,
                std::span(static_cast<const std::uint8_t*>(data->lpData),
                          std::min<std::size_t>(data->cbData, kSpectrumPayloadBytes))))
            platform::debugOutput(L"spectrum data dropped");
    } else if (data->dwData == 2) {
        const auto values = copyDataValues(data, kExternalColourPayloadBytes);
        if (!values)
            return;
        if (shell::ShellDevice* keyboard = m_lists.first(detect::DeviceKind::Keyboard))
            keyboard->SetExternalColour(*values);
    }
}

void CMainWnd::handleMenuClick(WPARAM wParam)
{
    // Only records the menu handed out are read; anything else is dropped.
    const MenuCmd* record = ui::acceptMenuCommand(wParam);
    if (!record)
        return;
    const std::wstring name(record->szName);
    ui::releaseMenuCommand(record);
    if (name == L"exit") {
        if (!settlePendingChanges())
            return;
        closeChildWindows();
        Close();
        return;
    }
    if (name == L"show_menu") {
        bringForward();
        return;
    }
    if (const auto route = shell::menuRoute(name))
        dispatch(*route, nullptr);
}

bool CMainWnd::handleRegisteredMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool&)
{
    for (const auto name : kHookMessages) {
        if (isMessage(msg, name)) {
            if (name == L"WM_HOOK_KEY_MSMACRO_MSG")
                platform::debugOutput(L"WM_HOOK_KEY_MSMACRO");
            deliverHookMessage(msg, wParam, lParam);
            return true;
        }
    }
    if (isMessage(msg, kHitKeyMessage))
        return true;
    if (handleGameMessage(msg, wParam, lParam))
        return true;
    return false;
}

LRESULT CMainWnd::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    bHandled = false;
    const auto& messages = shell::appMessages();
    switch (msg) {
    case WM_ACTIVATE:
        setWindowActive(wParam != 0);
        if (wParam == 0)
            hookFocusLost();
        return 0;
    case WM_MOUSELEAVE:
        platform::debugOutput(L"鼠标移出");
        setWindowActive(false);
        return 0;
    case WM_MOUSEHOVER:
        platform::debugOutput(L"鼠标移入");
        setWindowActive(true);
        return 0;
    default:
        break;
    }
    if (msg != 0 && msg == messages.instance) {
        comeForward(wParam, lParam);
        return 0;
    }
    if (msg != 0 && msg == messages.guid[0]) {
        if (m_settingsWnd)
            platform::postMessage(m_settingsWnd, msg, wParam, lParam);
        return 0;
    }
    if (msg != 0 && msg == messages.guid[2]) {
        if (wParam == 1 && (lParam == 0 || lParam == 1)) {
            m_lightingControl = lParam == 1;
            showLightingControlState();
            setLightingControl(m_lightingControl);
        }
        return 0;
    }
    if (msg != 0 && msg == messages.guid[3]) {
        // TODO: the production tool's answer, once a peer for it exists.
        return 0;
    }
    if (msg == WM_DESTROY) {
        shutdown();
        bHandled = true;
        return 0;
    }
    if (msg == WM_POWERBROADCAST) {
        if (wParam == shell::PBT_APMRESUMEAUTOMATIC) {
            platform::debugOutput(L"system resumed");
            s_awake = true;
            setLightingControl(m_lightingControl);
            // A device may have lost its settings while the machine slept.
            for (shell::ShellDevice* device : m_devices)
                if (device->isOnline())
                    device->ReapplyProfile();
            // One that failed shows as not written and is written again when it returns.
            showPendingState();
        } else if (wParam == shell::PBT_APMSUSPEND) {
            platform::debugOutput(L"system suspends");
            s_awake = false;
            setLightingControl(false);
        }
        return 0;
    }
    if (!s_awake) {
        // A report the watcher waits for is released even while asleep.
        if ((msg == shell::MSG_DEVICE_ARRIVED || msg == shell::MSG_DEVICE_REMOVED) && m_sink)
            m_sink->complete(lParam);
        return 0;
    }
    if (handleRegisteredMessage(msg, wParam, lParam, bHandled))
        return 0;
    switch (msg) {
    case shell::MSG_DEVICE_ARRIVED:
    case shell::MSG_DEVICE_REMOVED:
        onInterfaceMessage(msg == shell::MSG_DEVICE_ARRIVED, wParam, lParam);
        bHandled = true;
        return 0;
    case shell::MSG_OPEN_SETTINGS:
        CSetWnd::Open(m_hWnd, m_settingsWnd, m_languageIndex, m_dpi, defaultDataFolder(),
                      updateEntries(), true);
        return 0;
    case shell::MSG_UPDATE_SEEN:
        if (CButtonUI* button = parts().settingsButton)
            button->SetForeImage(L"");
        return 0;
    case shell::MSG_IGNORED:
        return 0;
    case shell::MSG_TILE_VISIBILITY:
        applyTileMessage(wParam, lParam);
        bHandled = true;
        return 0;
    case shell::MSG_TILE_STARTED:
    case shell::MSG_PENDING_CHANGED:
        // A start may have written what was pending, or found it could not.
        showPendingState();
        bHandled = true;
        return 0;
    case shell::MSG_SHOW_PROGRESS:
        if (CControlUI* progress = parts().settingsProgress)
            progress->SetVisible(true);
        return 0;
    case shell::MSG_LANGUAGE_CHANGED:
        applyLanguageIndex(static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFF)));
        m_lists.forEach({detect::DeviceKind::Mouse, detect::DeviceKind::Keyboard},
                        [](shell::ShellDevice& d) { d.rebuildKeyLabels(); });
        for (const auto owner : {shell::RouteOwner::Keys, shell::RouteOwner::System,
                                 shell::RouteOwner::Macros, shell::RouteOwner::Mouse}) {
            if (const auto handler = m_pageHandlers.find(owner); handler != m_pageHandlers.end())
                handler->second(shell::Route{owner, shell::kLanguageChangedCommand}, nullptr,
                                activeDevice());
        }
        bHandled = true;
        return 0;
    case shell::MSG_DPI_NOTICE:
        platform::debugOutput(L"界面 DPI 1发生变化");
        return 0;
    case shell::MSG_HOOK_CONTROL:
        hookControl(wParam);
        return 0;
    case WM_DPICHANGED:
        m_pm.SetDPI(LOWORD(wParam));
        m_pm.ResetDPIAssets();
        if (lParam != 0)
            MoveWindow(*reinterpret_cast<const RECT*>(lParam));
        CenterWindow();
        if (CControlUI* root = m_pm.GetRoot())
            root->NeedUpdate();
        platform::debugOutput(L"界面 DPI 发生变化");
        return 0;
    case shell::MSG_TRAY:
        if (lParam == WM_LBUTTONUP)
            toggleFromTray();
        else if (lParam == WM_RBUTTONUP)
            SetTimer(shell::kTrayMenuTimer, 10);
        return 0;
    case WM_MENUCLICK:
        if (wParam != 0)
            handleMenuClick(wParam);
        bHandled = true;
        return 0;
    case WM_TIMER:
        OnMainTimer(wParam);
        return 0;
    case WM_COPYDATA:
        handleCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return 0;
    case WM_DISPLAYCHANGE:
        platform::debugOutput(L"显示器分辨率发生变化");
        m_displayChanged = true;
        layoutForScreen();
        return 0;
    default:
        break;
    }
    return 0;
}

} // namespace app
