#pragma once

#include "ui/window_impl_base.h"
#include "windows/audio_styles.h"

#include <filesystem>

class COptionUI;
class CSliderUI;

// The small modal window in which the four audio-light styles are named and coloured. It
// edits a copy; the caller takes styles() only when it closes with 1 ("okbtn").
class MusicWnd : public WindowImplBase {
public:
    MusicWnd(HWND mainWnd, windows::AudioStyles styles);

    // Runs the window over the main window with the styles of the user's "AudioFile.json";
    // on OK they are stored and the selected colour goes to the audio companion. `handle`
    // holds the window while it is open, and nothing opens while it is set.
    static void Open(HWND mainWnd, HWND& handle, int dpi, const std::filesystem::path& userFolder,
                     const std::filesystem::path& defaultFolder);

    const wchar_t* GetWindowClassName() const override { return L"MusicWnd"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    void OnClick(TNotifyUI& msg) override;

    // Other values than 48, 72, ... 192 become 96.
    void SetScale(int dpi);
    const windows::AudioStyles& styles() const { return m_styles; }

protected:
    CDuiString GetSkinFile() override { return L"music.xml"; }
    const wchar_t* GetTitleTextId() const override { return L"audio_title_text"; }
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    COptionUI* option(int style) const;
    CSliderUI* slider(int component) const;
    // The first selected option, 0 when none is; -1 when a control is missing.
    int selectedStyle() const;
    void showStyle();
    void takeName(int style);

    HWND m_mainWnd;
    windows::AudioStyles m_styles;
    int m_scale = 96;
};
