#include "windows/set_wnd.h"

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/message_queue.h"
#include "shell/app_messages.h"
#include "shell/command_routes.h"
#include "shell/main_messages.h"
#include "ui/button_ui.h"
#include "ui/combo_ui.h"
#include "ui/container_ui.h"
#include "ui/dialog_builder.h"
#include "ui/label_ui.h"
#include "ui/list_ui.h"
#include "ui/menu_wnd.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "ui/slider_ui.h"
#include "update/service_address.h"
#include "update/update_time.h"
#include "update/updater.h"

namespace {

constexpr const wchar_t* kItemSkin = L"XML\\CustomControlXML\\device_Update_list_item.xml";
constexpr UINT kUpdaterWatchPeriod = 300; // ms
constexpr DWORD kPlainText = 0xFFC9D1D9;

std::filesystem::path besideProgram(const char* name)
{
    const auto beside = platform::executableFolder() / name;
    std::error_code error;
    return std::filesystem::exists(beside, error) ? beside : std::filesystem::path(name);
}

// Which list item a control inside it belongs to.
CControlUI* rowOf(CControlUI* control)
{
    for (CControlUI* c = control; c; c = c->GetParent()) {
        if (c->GetInterface(L"ListItem"))
            return c;
    }
    return nullptr;
}

} // namespace

RECT besideMainWindow(const RECT& main, const RECT& window, int dpi)
{
    // Its right edge 30 and its top 60 scaled pixels in from the main window's top right.
    const auto scaled = [dpi](int value) { return value * dpi / 96; };
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    RECT placed;
    placed.right = main.right - scaled(30);
    placed.left = placed.right - width;
    placed.top = main.top + scaled(60);
    placed.bottom = placed.top + height;
    return placed;
}

CSetWnd::CSetWnd(HWND mainWnd, int languageIndex, std::filesystem::path defaultDataFolder,
                 update::UpdateServiceConfig service, std::vector<update::UpdateEntry> entries)
    : m_mainWnd(mainWnd), m_languageIndex(languageIndex),
      m_defaultDataFolder(std::move(defaultDataFolder)), m_service(std::move(service)),
      m_entries(std::move(entries)), m_updaterProgram(besideProgram("halvek-update"))
{
}

CSetWnd::~CSetWnd()
{
    stopWorkers();
}

void CSetWnd::Open(HWND mainWnd, HWND& handle, int languageIndex, int dpi,
                   const std::filesystem::path& defaultDataFolder,
                   std::vector<update::UpdateEntry> entries, bool centred)
{
    if (handle)
        return;
    CSetWnd window(mainWnd, languageIndex, defaultDataFolder, update::configFromSettings(),
                   std::move(entries));
    if (!window.Create(mainWnd, L"SetWnd", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, 0, 0, 600, 420))
        return;
    if (ui::isAllowedDpi(dpi))
        window.GetPaintManager().SetDPI(dpi);
    window.CenterWindow();
    CWindowWnd* owner = ui::windowFromHandle(mainWnd);
    if (!centred && owner && owner->IsWindowVisible())
        window.MoveWindow(besideMainWindow(owner->GetWindowRect(), window.GetWindowRect(),
                                           ui::isAllowedDpi(dpi) ? dpi : 96));
    handle = window.GetHWND();
    window.ShowModal();
    handle = nullptr;
}

void CSetWnd::setUpdaterProgram(std::filesystem::path program)
{
    m_updaterProgram = std::move(program);
}

void CSetWnd::InitWindow()
{
    fillLanguages();
    if (!m_service.lastCheckFolder.empty()) {
        auto date = update::readLastCheckDate(m_service.lastCheckFolder);
        if (!date) {
            date = update::todayCheckDate();
            update::writeLastCheckDate(m_service.lastCheckFolder, *date);
        }
        m_lastCheckDate = *date;
    }
    if (CControlUI* edit = m_pm.FindControl(L"update_service_edit"))
        edit->SetText(m_service.baseUrl);
    showTickButton();
    startCheck();
}

void CSetWnd::setSettingsFile(std::filesystem::path file)
{
    m_settingsFile = std::move(file);
}

void CSetWnd::showAddressMessage(std::wstring_view textId, bool refused)
{
    CControlUI* label = m_pm.FindControl(L"update_service_message");
    if (!label)
        return;
    label->SetVisible(!textId.empty());
    label->SetResourceText(true);
    label->SetText(textId);
    label->SetToolTip(CResourceManager::GetInstance()->GetText(textId));
    if (auto* shown = dynamic_cast<CLabelUI*>(label))
        shown->SetTextColor(refused ? 0xFFF85149 : 0xFF3FB950);
}

void CSetWnd::saveServiceAddress()
{
    CControlUI* edit = m_pm.FindControl(L"update_service_edit");
    if (!edit)
        return;
    const std::wstring address = update::trimmedAddress(edit->GetText());
    if (const auto problem = update::addressProblem(address)) {
        showAddressMessage(update::refusalTextId(*problem), true);
        return;
    }
    if (!update::storeServiceAddress(m_settingsFile, address)) {
        showAddressMessage(L"update_address_not_saved_text", true);
        return;
    }
    edit->SetText(address);
    showAddressMessage(L"update_address_saved_text", false);
    // A download under way keeps its service; the new address serves the next check.
    if (address == m_service.baseUrl || (m_launch && !m_list.canClose()))
        return;
    m_service.baseUrl = address;
    (void)m_check.stop();
    // A late notice of the old check lands in the old mailbox, which nobody reads.
    m_mailbox = std::make_shared<update::UpdateMailbox>();
    m_list = update::UpdateList{};
    if (CListUI* list = listControl())
        list->RemoveAll();
    m_rows.clear();
    for (const wchar_t* name : {L"update_list_header", L"device_update_list_info"})
        if (CControlUI* control = m_pm.FindControl(name))
            control->SetVisible(true);
    if (CControlUI* hint = m_pm.FindControl(L"update_hint_label"))
        hint->SetVisible(false);
    showTickButton();
    startCheck();
}

void CSetWnd::fillLanguages()
{
    auto* combo = dynamic_cast<CComboUI*>(m_pm.FindControl(L"Language_combox_info"));
    if (!combo)
        return;
    const auto table = shell::LanguageTable::read(m_defaultDataFolder / "Language.config");
    for (std::size_t i = 0; i < table.size(); ++i) {
        auto* item = new CListLabelElementUI();
        const auto entry = table.entry(static_cast<long long>(i));
        item->SetResourceText(true);
        item->SetText(entry ? entry->textId : std::wstring());
        combo->Add(item);
    }
    combo->SelectItem(m_languageIndex, false, false);
}

void CSetWnd::startCheck()
{
    showWindowState(update::WindowState::Checking);
    if (m_service.baseUrl.empty()) {
        // Nothing is sent anywhere without a configured service.
        showNotConfigured();
        return;
    }
    m_check.start(m_service, m_entries, update::postToWindow(m_mailbox, m_hWnd, kMsgUpdateNotices));
}

void CSetWnd::showStatus(std::wstring_view textId)
{
    m_statusId = textId;
    CControlUI* label = m_pm.FindControl(L"update_status_label");
    if (!label)
        return;
    if (textId == L"UpdateIsLastText" && !m_lastCheckDate.empty()) {
        // The words come from the language file, the date after them.
        auto* resources = CResourceManager::GetInstance();
        label->SetResourceText(false);
        label->SetText(std::wstring(resources->GetText(textId)) + L"  " + m_lastCheckDate);
        return;
    }
    if (textId == L"update_some_unanswered_text" || textId == L"update_found_unanswered_text") {
        std::wstring text(CResourceManager::GetInstance()->GetText(textId));
        if (const auto at = text.find(L"%s"); at != std::wstring::npos)
            text.replace(at, 2, m_list.uncheckedNames());
        label->SetResourceText(false);
        label->SetText(text);
        return;
    }
    label->SetResourceText(true);
    label->SetText(textId);
}

void CSetWnd::showWindowState(update::WindowState state)
{
    using update::WindowState;
    const bool checking = state == WindowState::Checking || state == WindowState::Updating;
    if (CControlUI* ring = m_pm.FindControl(L"update_status_ring"))
        ring->SetVisible(checking);
    // The tick is for an answer; beside "did not answer" it would read as success.
    if (CControlUI* image = m_pm.FindControl(L"update_status_image"))
        image->SetVisible(!checking && state != WindowState::NoAnswer &&
                          state != WindowState::SomeUnanswered);
    switch (state) {
    case WindowState::Checking:
        showStatus(L"GetUpdateInfoText");
        break;
    case WindowState::UpdatesFound:
        // A check that failed is named beside the updates the others found.
        showStatus(m_list.uncheckedNames().empty() ? L"update_found_text"
                                                   : L"update_found_unanswered_text");
        break;
    case WindowState::NoAnswer:
        showStatus(L"update_no_answer_text");
        break;
    case WindowState::SomeUnanswered:
        showStatus(L"update_some_unanswered_text");
        break;
    case WindowState::Updating:
        showStatus(L"ISUpdateINGText");
        break;
    case WindowState::UpToDate:
        showStatus(L"UpdateIsLastText");
        if (m_mainWnd)
            platform::postMessage(m_mainWnd, shell::MSG_UPDATE_SEEN, 0, 0);
        break;
    }
}

void CSetWnd::showNotConfigured()
{
    showStatus(L"update_not_configured_text");
    for (const wchar_t* name : {L"update_status_ring", L"update_status_image",
                                L"update_list_header", L"device_update_list_info"})
        if (CControlUI* control = m_pm.FindControl(name))
            control->SetVisible(false);
    if (CControlUI* hint = m_pm.FindControl(L"update_hint_label"))
        hint->SetVisible(true);
}

CListUI* CSetWnd::listControl() const
{
    return dynamic_cast<CListUI*>(m_pm.FindControl(L"device_update_list_info"));
}

void CSetWnd::addRow()
{
    CListUI* list = listControl();
    if (!list)
        return;
    CControlUI* row = CDialogBuilder().Create(kItemSkin, nullptr, nullptr, &m_pm);
    if (!row) {
        // Without the item skin a plain row still tells what is there.
        row = new CListLabelElementUI();
    }
    list->Add(row);
    m_rows.push_back(bindRow(row));
    showRow(static_cast<std::size_t>(list->GetCount() - 1));
}

CSetWnd::UpdateRow CSetWnd::bindRow(CControlUI* row)
{
    UpdateRow bound;
    bound.row = row;
    bound.option = dynamic_cast<COptionUI*>(m_pm.FindSubControlByName(row, L"check_name_select"));
    if (!bound.option)
        return bound;
    // Every row comes from the same skin: what the first lacks, the rest lack too.
    const bool first = m_rows.empty();
    auto sub = [&](const wchar_t* name) {
        CControlUI* control = m_pm.FindSubControlByName(row, name);
        if (!control && first)
            platform::debugOutput(std::wstring(L"update row control missing from the skin: ") +
                                  name);
        return control;
    };
    bound.oldVersion = sub(L"OldRev");
    bound.latestVersion = sub(L"updateRev");
    bound.status = sub(L"update_status_text");
    bound.progressRow = sub(L"update_status_ing");
    bound.progressBar = dynamic_cast<CProgressUI*>(sub(L"update_progress_bar"));
    bound.progressValue = sub(L"update_progress_value");
    bound.done = sub(L"update_status_ok");
    return bound;
}

void CSetWnd::showRow(std::size_t index)
{
    if (index >= m_list.items().size() || index >= m_rows.size())
        return;
    const UpdateRow& shown = m_rows[index];
    CControlUI* row = shown.row;
    const update::UpdateListItem& item = m_list.items()[index];
    const update::ItemLook look = update::itemLook(item);
    COptionUI* option = shown.option;
    if (!option) {
        row->SetText(item.record.name + L"    " + item.record.currentVersionText +
                     (item.record.latestVersionText.empty()
                          ? std::wstring()
                          : L"  →  " + item.record.latestVersionText));
        return;
    }
    row->SetUserData(item.record.downloadPath);
    option->SetText(item.record.name);
    option->SetEnabled(item.enabled && look.optionEnabled);
    if (option->IsSelected() != item.ticked)
        option->Selected(item.ticked, false);
    option->SetTextColor(look.textColour ? look.textColour : kPlainText);
    option->SetSelectedTextColor(look.selectedTextColour ? look.selectedTextColour : kPlainText);
    option->SetDisabledTextColor(look.disabledTextColour);
    if (CControlUI* old = shown.oldVersion)
        old->SetText(item.record.currentVersionText);
    if (CControlUI* latest = shown.latestVersion) {
        latest->SetText(item.record.latestVersionText);
        latest->SetVisible(!item.record.latestVersionText.empty());
    }
    if (CControlUI* status = shown.status) {
        status->SetResourceText(true);
        status->SetText(look.statusTextId);
    }
    if (CControlUI* progressRow = shown.progressRow)
        progressRow->SetVisible(look.progressShown);
    if (CProgressUI* bar = shown.progressBar)
        bar->SetValue(item.progress);
    if (CControlUI* percent = shown.progressValue)
        percent->SetText(update::progressText(item.progress));
    if (CControlUI* done = shown.done)
        done->SetVisible(look.doneShown || (item.state == update::ItemState::Done &&
                                            item.record.status == update::kStatusNewer));
}

void CSetWnd::showTickButton()
{
    if (CControlUI* button = m_pm.FindControl(L"update_fw_and_ap")) {
        const bool ticked = m_list.anyTicked() && !m_list.itemBeingUpdated();
        button->SetEnabled(ticked);
        button->SetVisible(ticked);
    }
    // The close buttons cancel a running download, so they always work.
    for (const wchar_t* name : {L"laterbtn", L"closebtn"})
        if (CControlUI* close = m_pm.FindControl(name))
            close->SetEnabled(m_list.canClose() || m_launch != nullptr);
}

void CSetWnd::takeNotices()
{
    using Kind = update::UpdateNotice::Kind;
    for (auto& notice : m_mailbox->takeAll()) {
        switch (notice.kind) {
        case Kind::Checking:
            showWindowState(update::WindowState::Checking);
            break;
        case Kind::AddItem:
            m_list.add(notice.record);
            addRow();
            break;
        case Kind::UpdateItem:
            m_list.update(notice.index, notice.record);
            showRow(notice.index);
            if (!notice.detail.empty()) {
                // The row says why its check failed: no answer, a status, a bad answer.
                platform::debugOutput(L"update check: " + notice.detail);
                if (CListUI* list = listControl();
                    list && static_cast<int>(notice.index) < list->GetCount())
                    list->GetItemAt(static_cast<int>(notice.index))->SetToolTip(notice.detail);
            }
            break;
        case Kind::Finished:
            m_list.finishCheck();
            for (std::size_t i = 0; i < m_list.items().size(); ++i)
                showRow(i);
            showWindowState(notice.state);
            showTickButton();
            break;
        case Kind::NotConfigured:
            showNotConfigured();
            break;
        }
    }
}

void CSetWnd::startUpdate()
{
    if (m_list.startUpdate().empty())
        return;
    if (!m_launch)
        m_launch = std::make_unique<update::UpdaterLaunch>(m_updaterProgram, m_service.extraCaFile);
    for (std::size_t i = 0; i < m_list.items().size(); ++i)
        showRow(i);
    showWindowState(update::WindowState::Updating);
    showTickButton();
    m_launch->launchNext(m_list);
    afterUpdateStep(std::nullopt);
    SetTimer(kUpdaterWatchTimer, kUpdaterWatchPeriod);
}

void CSetWnd::onUpdaterReport(WPARAM event, LPARAM value)
{
    const auto index = m_list.itemBeingUpdated();
    const auto ended = m_list.applyReport(static_cast<std::int64_t>(event), value);
    if (!index)
        return; // nothing is being updated: the report is not ours
    if (event == static_cast<WPARAM>(update::UpdaterEvent::Done))
        m_downloaded = true;
    showRow(*index);
    if (m_launch)
        m_launch->reported(m_list, static_cast<std::int64_t>(event));
    afterUpdateStep(ended);
}

void CSetWnd::afterUpdateStep(std::optional<update::WindowState> ended)
{
    for (std::size_t i = 0; i < m_list.items().size(); ++i)
        showRow(i);
    if (ended) {
        showWindowState(*ended);
        KillTimer(kUpdaterWatchTimer);
    } else if (!m_list.itemBeingUpdated()) {
        KillTimer(kUpdaterWatchTimer);
    }
    showTickButton();
    if (CControlUI* where = m_pm.FindControl(L"update_folder_label")) {
        // Flashing has no protocol here: the user is told where the file is.
        where->SetVisible(m_downloaded);
        if (m_downloaded)
            where->SetText(
                std::wstring(CResourceManager::GetInstance()->GetText(L"update_saved_text")) +
                L" " + update::updateFolder().wstring());
    }
}

void CSetWnd::Notify(TNotifyUI& msg)
{
    if (msg.sType == L"itemselect" && msg.pSender &&
        shell::equalsNoCase(msg.pSender->GetName(), L"Language_combox_info")) {
        auto* combo = dynamic_cast<CComboUI*>(msg.pSender);
        if (combo && m_mainWnd && combo->GetCurSel() >= 0) {
            m_languageIndex = combo->GetCurSel();
            platform::sendMessage(m_mainWnd, shell::MSG_LANGUAGE_CHANGED,
                                  static_cast<WPARAM>(m_languageIndex), 0);
        }
        return;
    }
    if (msg.sType == L"selectchanged" && msg.pSender &&
        shell::equalsNoCase(msg.pSender->GetName(), L"check_name_select")) {
        CListUI* list = listControl();
        CControlUI* row = rowOf(msg.pSender);
        const int index = list && row ? list->GetItemIndex(row) : -1;
        if (index >= 0) {
            auto* option = dynamic_cast<COptionUI*>(msg.pSender);
            m_list.setTicked(static_cast<std::size_t>(index), option && option->IsSelected());
            showRow(static_cast<std::size_t>(index));
        }
        showTickButton();
        return;
    }
    WindowImplBase::Notify(msg);
}

void CSetWnd::OnClick(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    const CDuiString name = msg.pSender->GetName();
    auto page = [&](const wchar_t* tabName, int index) {
        if (auto* tab = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl(tabName)))
            tab->SelectItem(index);
    };
    if (shell::equalsNoCase(name, L"closebtn") || shell::equalsNoCase(name, L"laterbtn")) {
        // The user's own close ends a running download first; a close from elsewhere is
        // still refused while one runs (OnClose).
        cancelDownload();
        Close(IDOK);
    } else if (shell::equalsNoCase(name, L"minbtn")) {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (shell::equalsNoCase(name, L"set_about_btn")) {
        // The main window opens About as the tray menu's item does, once this one is gone.
        if (m_launch && !m_list.canClose())
            return;
        ui::postMenuCommand(m_mainWnd, L"about_menu");
        Close(IDOK);
    } else if (shell::equalsNoCase(name, L"set_language_opt")) {
        page(L"set_tab", 0);
    } else if (shell::equalsNoCase(name, L"set_update_opt")) {
        page(L"set_tab", 1);
    } else if (shell::equalsNoCase(name, L"update_fw_and_ap")) {
        page(L"set_tab", 1);
        page(L"get_update_tab_layout", 1);
    } else if (shell::equalsNoCase(name, L"update_cancel_btn")) {
        page(L"get_update_tab_layout", 0);
    } else if (shell::equalsNoCase(name, L"update_service_save")) {
        saveServiceAddress();
    } else if (shell::equalsNoCase(name, L"update_OK_btn")) {
        page(L"get_update_tab_layout", 0);
        startUpdate();
    }
}

void CSetWnd::cancelDownload()
{
    if (!m_launch || m_list.canClose())
        return;
    m_launch->cancel(m_list);
    for (std::size_t i = 0; i < m_list.items().size(); ++i)
        showRow(i);
}

void CSetWnd::stopWorkers()
{
    m_check.stop();
}

LRESULT CSetWnd::OnClose(UINT, WPARAM, LPARAM, bool& bHandled)
{
    if (!m_list.canClose()) {
        platform::debugOutput(L"settings window: an update is under way; not closed");
        bHandled = true;
        return 0;
    }
    stopWorkers();
    KillTimer(kUpdaterWatchTimer);
    bHandled = false;
    return 0;
}

LRESULT CSetWnd::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    if (wParam == SC_CLOSE) {
        // Alt+F4 ends the application through the main window's own close; an updater left
        // downloading would outlive it.
        cancelDownload();
        stopWorkers();
        Close(IDCANCEL);
        if (m_mainWnd)
            platform::postMessage(m_mainWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    return WindowImplBase::OnSysCommand(msg, wParam, lParam, bHandled);
}

LRESULT CSetWnd::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    bHandled = false;
    if (msg == kMsgUpdateNotices) {
        takeNotices();
        bHandled = true;
    } else if (msg != 0 && msg == shell::appMessages().guid[0]) {
        onUpdaterReport(wParam, lParam);
        bHandled = true;
    } else if (msg == WM_TIMER && wParam == kUpdaterWatchTimer) {
        if (m_launch) {
            const auto ended = m_launch->watch(m_list);
            afterUpdateStep(ended);
        }
        bHandled = true;
    } else if (msg == shell::MSG_LANGUAGE_CHANGED) {
        // The texts are ids: the library resolves them again on the next layout.
        showStatus(m_statusId);
        afterUpdateStep(std::nullopt);
        RefreshTitle();
        m_pm.NeedUpdate();
        m_pm.Invalidate();
        bHandled = true;
    }
    return 0;
}
