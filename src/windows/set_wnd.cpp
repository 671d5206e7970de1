#include "windows/set_wnd.h"

#include "app/command_routes.h"
#include "app/main_messages.h"
#include "platform/message_queue.h"
#include "ui/combo_ui.h"
#include "ui/container_ui.h"
#include "ui/label_ui.h"
#include "ui/list_ui.h"
#include "ui/paint_manager_ui.h"

CSetWnd::CSetWnd(HWND mainWnd, int languageIndex, std::filesystem::path defaultDataFolder,
                 update::UpdateServiceConfig service, std::vector<update::UpdateEntry> entries)
    : m_mainWnd(mainWnd), m_languageIndex(languageIndex),
      m_defaultDataFolder(std::move(defaultDataFolder)), m_service(std::move(service)),
      m_entries(std::move(entries))
{
}

CSetWnd::~CSetWnd()
{
    stopWorkers();
}

void CSetWnd::Open(HWND mainWnd, HWND& handle, int languageIndex, int dpi,
                   const std::filesystem::path& defaultDataFolder)
{
    if (handle)
        return;
    CSetWnd window(mainWnd, languageIndex, defaultDataFolder, update::configFromSettings(),
                   update::buildEntries({}, update::applicationVersion()));
    if (!window.Create(mainWnd, L"SetWnd", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, 0, 0, 630, 500))
        return;
    if (ui::isAllowedDpi(dpi))
        window.GetPaintManager().SetDPI(dpi);
    window.CenterWindow();
    handle = window.GetHWND();
    window.ShowModal();
    handle = nullptr;
}

void CSetWnd::InitWindow()
{
    fillLanguages();
    startCheck();
}

void CSetWnd::fillLanguages()
{
    auto* combo = dynamic_cast<CComboUI*>(m_pm.FindControl(L"Language_combox_info"));
    if (!combo)
        return;
    const auto table = app::LanguageTable::read(m_defaultDataFolder / "Language.config");
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
    showStatus(L"GetUpdateInfoText");
    if (m_service.baseUrl.empty()) {
        // Nothing is sent anywhere without a configured service.
        showStatus(L"update_not_configured_text");
        return;
    }
    m_check.start(m_service, m_entries, update::postToWindow(m_mailbox, m_hWnd, kMsgUpdateNotices));
}

void CSetWnd::showStatus(std::wstring_view textId)
{
    m_statusId = textId;
    if (CControlUI* label = m_pm.FindControl(L"update_status_label")) {
        label->SetResourceText(true);
        label->SetText(textId);
    }
}

void CSetWnd::addRow(const update::UpdateRecord& record)
{
    auto* list = dynamic_cast<CListUI*>(m_pm.FindControl(L"device_update_list_info"));
    if (!list)
        return;
    auto* row = new CListLabelElementUI();
    row->SetResourceText(false);
    row->SetText(record.name + L"    " + record.currentVersionText);
    list->Add(row);
    ++m_rows;
}

void CSetWnd::updateRow(std::size_t index, const update::UpdateRecord& record, bool failed)
{
    auto* list = dynamic_cast<CListUI*>(m_pm.FindControl(L"device_update_list_info"));
    CControlUI* row = list && index < m_rows ? list->GetItemAt(static_cast<int>(index)) : nullptr;
    if (!row)
        return;
    std::wstring text = record.name + L"    " + record.currentVersionText;
    if (failed)
        text += L"    —";
    else if (!record.latestVersionText.empty())
        text += L"  →  " + record.latestVersionText;
    row->SetText(text);
}

void CSetWnd::takeNotices()
{
    using Kind = update::UpdateNotice::Kind;
    for (auto& notice : m_mailbox->takeAll()) {
        switch (notice.kind) {
        case Kind::Checking:
            showStatus(L"GetUpdateInfoText");
            break;
        case Kind::AddItem:
            addRow(notice.record);
            break;
        case Kind::UpdateItem:
            updateRow(notice.index, notice.record, !notice.detail.empty());
            break;
        case Kind::Finished:
            showStatus(notice.state == update::WindowState::UpdatesFound ? L"update_found_text"
                       : notice.state == update::WindowState::NoAnswer   ? L"update_no_answer_text"
                                                                         : L"UpdateIsLastText");
            break;
        case Kind::NotConfigured:
            showStatus(L"update_not_configured_text");
            break;
        }
    }
}

void CSetWnd::Notify(TNotifyUI& msg)
{
    if (msg.sType == L"itemselect" && msg.pSender &&
        app::equalsNoCase(msg.pSender->GetName(), L"Language_combox_info")) {
        auto* combo = dynamic_cast<CComboUI*>(msg.pSender);
        if (combo && m_mainWnd && combo->GetCurSel() >= 0) {
            m_languageIndex = combo->GetCurSel();
            platform::sendMessage(m_mainWnd, app::MSG_LANGUAGE_CHANGED,
                                  static_cast<WPARAM>(m_languageIndex), 0);
        }
        return;
    }
    WindowImplBase::Notify(msg);
}

void CSetWnd::OnClick(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    const CDuiString name = msg.pSender->GetName();
    if (app::equalsNoCase(name, L"closebtn") || app::equalsNoCase(name, L"laterbtn")) {
        stopWorkers();
        Close(IDOK);
    } else if (app::equalsNoCase(name, L"minbtn")) {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (app::equalsNoCase(name, L"set_language_opt")) {
        if (auto* tab = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl(L"set_tab")))
            tab->SelectItem(0);
    } else if (app::equalsNoCase(name, L"set_update_opt")) {
        if (auto* tab = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl(L"set_tab")))
            tab->SelectItem(1);
    }
}

void CSetWnd::stopWorkers()
{
    m_check.stop();
}

LRESULT CSetWnd::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    if (wParam == SC_CLOSE) {
        // Alt+F4 ends the application through the main window's own close.
        stopWorkers();
        Close(IDCANCEL);
        if (m_mainWnd)
            platform::postMessage(m_mainWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    return WindowImplBase::OnSysCommand(msg, wParam, lParam, bHandled);
}

LRESULT CSetWnd::HandleCustomMessage(UINT msg, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    if (msg == kMsgUpdateNotices) {
        takeNotices();
        bHandled = true;
    } else if (msg == app::MSG_LANGUAGE_CHANGED) {
        // The texts are ids: the library resolves them again on the next layout.
        showStatus(m_statusId);
        m_pm.NeedUpdate();
        m_pm.Invalidate();
        bHandled = true;
    }
    return 0;
}
