#pragma once

#include "platform/settings_store.h"
#include "shell/language_table.h"
#include "ui/window_impl_base.h"
#include "update/update_check.h"
#include "update/update_list.h"
#include "update/update_mailbox.h"
#include "update/updater_launch.h"

#include <filesystem>
#include <memory>
#include <vector>

class CControlUI;
class CListUI;
class COptionUI;
class CProgressUI;

// The settings window: the language choice and the update tab. The language is applied by
// the main window (it owns the texts and the saved choice); the update check runs on its
// own thread and hands its notices over through a mailbox; downloads run in halvek-update,
// whose reports the main window passes on.
// Where the settings window sits when opened from the main window.
RECT besideMainWindow(const RECT& main, const RECT& window, int dpi);

class CSetWnd : public WindowImplBase {
public:
    // Posted by the check thread when notices wait in the mailbox.
    static constexpr UINT kMsgUpdateNotices = 0x0C40;
    // Looks after a running updater.
    static constexpr UINT_PTR kUpdaterWatchTimer = 1;

    CSetWnd(HWND mainWnd, int languageIndex, std::filesystem::path defaultDataFolder,
            update::UpdateServiceConfig service, std::vector<update::UpdateEntry> entries);
    ~CSetWnd() override;

    const wchar_t* GetWindowClassName() const override { return L"SetWnd"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    void OnClick(TNotifyUI& msg) override;

    // Runs the window modally over the main window with the update entries of the present
    // devices and the application; `handle` holds the window while it is open, and nothing
    // opens while it is set. Opened from the main window it sits against the main window's
    // top right corner; `centred` puts it in the middle of the screen.
    static void Open(HWND mainWnd, HWND& handle, int languageIndex, int dpi,
                     const std::filesystem::path& defaultDataFolder,
                     std::vector<update::UpdateEntry> entries, bool centred = false);

    // The updater to run; halvek-update beside the program unless set.
    void setUpdaterProgram(std::filesystem::path program);
    // Where a typed service address is kept; the program's settings file unless set.
    void setSettingsFile(std::filesystem::path file);

    int languageIndex() const { return m_languageIndex; }
    std::size_t updateRows() const { return m_list.items().size(); }
    const update::UpdateList& updateList() const { return m_list; }

protected:
    CDuiString GetSkinFile() override { return L"setwnd.xml"; }
    const wchar_t* GetTitleTextId() const override { return L"set_title_text"; }
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    void fillLanguages();
    void startCheck();
    void takeNotices();
    void showStatus(std::wstring_view textId);
    void showWindowState(update::WindowState state);
    void showNotConfigured();
    void saveServiceAddress();
    void showAddressMessage(std::wstring_view textId, bool refused);
    CListUI* listControl() const;
    // An update row's controls, found once when the row is made; null where its skin has none.
    struct UpdateRow {
        CControlUI* row = nullptr;
        COptionUI* option = nullptr; // none: a plain row, its text says it all
        CControlUI* oldVersion = nullptr;
        CControlUI* latestVersion = nullptr;
        CControlUI* status = nullptr;
        CControlUI* progressRow = nullptr;
        CProgressUI* progressBar = nullptr;
        CControlUI* progressValue = nullptr;
        CControlUI* done = nullptr;
    };
    UpdateRow bindRow(CControlUI* row);
    void addRow();
    void showRow(std::size_t index);
    void showTickButton();
    void startUpdate();
    void onUpdaterReport(WPARAM event, LPARAM value);
    void afterUpdateStep(std::optional<update::WindowState> ended);
    // Ends a running download (the updater process and its partial file), if one runs.
    void cancelDownload();
    void stopWorkers();

    HWND m_mainWnd;
    int m_languageIndex;
    std::filesystem::path m_defaultDataFolder;
    update::UpdateServiceConfig m_service;
    std::vector<update::UpdateEntry> m_entries;
    std::shared_ptr<update::UpdateMailbox> m_mailbox = std::make_shared<update::UpdateMailbox>();
    update::UpdateCheckThread m_check;
    update::UpdateList m_list;
    std::unique_ptr<update::UpdaterLaunch> m_launch;
    std::filesystem::path m_updaterProgram;
    std::filesystem::path m_settingsFile = platform::SettingsStore::defaultFile();
    std::vector<UpdateRow> m_rows; // as the list control shows them
    std::wstring m_statusId;
    std::wstring m_lastCheckDate;
    bool m_downloaded = false;
};
