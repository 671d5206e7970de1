#pragma once

#include "app/language_table.h"
#include "ui/window_impl_base.h"
#include "update/update_check.h"
#include "update/update_mailbox.h"

#include <filesystem>
#include <memory>
#include <vector>

// The settings window: the language choice and the update tab. The language is applied by
// the main window (it owns the texts and the saved choice); the update check runs on its
// own thread and hands its notices over through a mailbox.
class CSetWnd : public WindowImplBase {
public:
    // Posted by the check thread when notices wait in the mailbox.
    static constexpr UINT kMsgUpdateNotices = 0x0C40;

    CSetWnd(HWND mainWnd, int languageIndex, std::filesystem::path defaultDataFolder,
            update::UpdateServiceConfig service, std::vector<update::UpdateEntry> entries);
    ~CSetWnd() override;

    const wchar_t* GetWindowClassName() const override { return L"SetWnd"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    void OnClick(TNotifyUI& msg) override;

    // Runs the window modally over the main window; `handle` holds the window while it is
    // open, and nothing opens while it is set.
    static void Open(HWND mainWnd, HWND& handle, int languageIndex, int dpi,
                     const std::filesystem::path& defaultDataFolder);

    int languageIndex() const { return m_languageIndex; }
    std::size_t updateRows() const { return m_rows; }

protected:
    CDuiString GetSkinFile() override { return L"setwnd.xml"; }
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    void fillLanguages();
    void startCheck();
    void takeNotices();
    void showStatus(std::wstring_view textId);
    void addRow(const update::UpdateRecord& record);
    void updateRow(std::size_t index, const update::UpdateRecord& record, bool failed);
    void stopWorkers();

    HWND m_mainWnd;
    int m_languageIndex;
    std::filesystem::path m_defaultDataFolder;
    update::UpdateServiceConfig m_service;
    std::vector<update::UpdateEntry> m_entries;
    std::shared_ptr<update::UpdateMailbox> m_mailbox = std::make_shared<update::UpdateMailbox>();
    update::UpdateCheckThread m_check;
    std::wstring m_statusId;
    std::size_t m_rows = 0;
};
