#pragma once

#include "ui/window_impl_base.h"
#include "windows/skin_choice.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// The drop-down under the main window's skin button: ready images, plain colours, a reset
// and an image of the user's own. Each choice goes to the skin observer; ready images and
// the reset are also kept in "main.ini". Closes when it loses the focus, and when "Your
// image…" opens the main window's file dialog, and deletes itself.
class CSkinFrame : public WindowImplBase {
public:
    using FileChooser = std::function<std::optional<std::filesystem::path>(HWND owner)>;

    // Creates and shows the frame under the button; null when the window could not be made.
    static CSkinFrame* Open(HWND mainWnd, CControlUI* skinButton, std::filesystem::path mainIni);

    // Ends the open frame, if any: its main window is going away.
    static void CloseOpenFrame();

    const wchar_t* GetWindowClassName() const override { return L"UISkinFrame"; }
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;
    // Tests put their own file choice in place of the file dialog.
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    // Tells the user why a chosen image is not taken; the main window shows its prompt.
    using Notice = std::function<void(const std::wstring& text)>;
    void setNotice(Notice notice) { m_notice = std::move(notice); }

protected:
    CDuiString GetSkinFile() override { return L"skin.xml"; }
    const wchar_t* GetTitleTextId() const override { return L"skin_tip_text"; }
    void OnFinalMessage(HWND hwnd) override;
    LRESULT OnKillFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    CSkinFrame(HWND mainWnd, CControlUI* skinButton, std::filesystem::path mainIni);
    void place();
    void choose(const windows::SkinChangedParam& param);

    HWND m_mainWnd;
    CControlUI* m_skinButton;
    windows::SkinIni m_ini;
    FileChooser m_chooseFile;
    Notice m_notice;
    static CSkinFrame* s_open; // at most one frame at a time
};
