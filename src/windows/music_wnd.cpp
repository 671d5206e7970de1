#include "windows/music_wnd.h"

#include "platform/debug_output.h"
#include "platform/message_queue.h"
#include "shell/command_routes.h"
#include "shell/main_messages.h"
#include "shell/peers.h"
#include "ui/button_ui.h"
#include "ui/edit_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "ui/slider_ui.h"
#include "windows/audio_companion.h"

#include <array>

namespace {

constexpr std::array<const wchar_t*, 3> kSliders = {L"audio_r_slider", L"audio_g_slider",
                                                    L"audio_b_slider"};

std::wstring numbered(const wchar_t* prefix, int style)
{
    return prefix + std::to_wstring(style + 1);
}

// The style number 0..3 of a name "<prefix>1" ... "<prefix>4", or -1.
int styleOf(std::wstring_view name, std::wstring_view prefix)
{
    if (name.size() != prefix.size() + 1 ||
        !shell::equalsNoCase(name.substr(0, prefix.size()), prefix))
        return -1;
    const wchar_t digit = name.back();
    return digit >= L'1' && digit <= L'4' ? digit - L'1' : -1;
}

// Slider levels 0..9 shown as a colour.
DWORD previewColour(const std::array<int, 3>& rgb)
{
    DWORD argb = 0xFF000000;
    for (int c = 0; c < 3; ++c)
        argb |= static_cast<DWORD>(rgb[c] * 255 / windows::kAudioLevelMax) << (16 - 8 * c);
    return argb;
}

// A style still under its default name shows that name in the user's language; the
// stored text stays the default, so other programs reading the file see what they expect.
std::wstring shownStyleName(int style, const std::wstring& stored)
{
    if (stored != windows::defaultStyleName(style))
        return stored;
    const std::wstring id = L"audio_style_default_" + std::to_wstring(style + 1) + L"_text";
    const std::wstring translated(CResourceManager::GetInstance()->GetText(id));
    return translated.empty() || translated == id ? stored : translated;
}

} // namespace

MusicWnd::MusicWnd(HWND mainWnd, windows::AudioStyles styles)
    : m_mainWnd(mainWnd), m_styles(std::move(styles))
{
}

void MusicWnd::Open(HWND mainWnd, HWND& handle, int dpi, const std::filesystem::path& userFolder,
                    const std::filesystem::path& defaultFolder)
{
    if (handle)
        return;
    windows::AudioStyleFile file(userFolder / windows::AudioStyleFile::kFileName,
                                 defaultFolder / windows::AudioStyleFile::kFileName);
    MusicWnd window(mainWnd, file.open());
    if (!window.Create(mainWnd, L"  ", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, 0, 0, 369, 276))
        return;
    window.SetScale(dpi);
    window.CenterWindow();
    handle = window.GetHWND();
    const UINT result = window.ShowModal();
    handle = nullptr;
    if (result != 1)
        return;
    windows::AudioCompanionLink(shell::peerEndpoint()).sendStyleColour(window.styles());
    file.save(window.styles());
}

COptionUI* MusicWnd::option(int style) const
{
    return dynamic_cast<COptionUI*>(m_pm.FindControl(numbered(L"audio_select_tab", style)));
}

CSliderUI* MusicWnd::slider(int component) const
{
    return dynamic_cast<CSliderUI*>(m_pm.FindControl(kSliders[component]));
}

void MusicWnd::SetScale(int dpi)
{
    if (!ui::isAllowedDpi(dpi)) {
        platform::debugOutput(L"SET_WND DPI SET ERROR");
        dpi = 96;
    }
    m_scale = dpi;
    m_pm.SetDPI(dpi);
}

void MusicWnd::InitWindow()
{
    for (int c = 0; c < 3; ++c) {
        if (CSliderUI* s = slider(c)) {
            s->SetMinValue(0);
            s->SetMaxValue(windows::kAudioLevelMax);
        }
    }
    if (COptionUI* selected = option(m_styles.selected))
        selected->Selected(true, false);
    for (int style = 0; style < windows::kAudioStyleCount; ++style)
        if (CControlUI* edit = m_pm.FindControl(numbered(L"audio_edit_name", style)))
            edit->SetText(shownStyleName(style, m_styles.names[style]));
    showStyle();
}

int MusicWnd::selectedStyle() const
{
    int first = -1;
    for (int style = windows::kAudioStyleCount - 1; style >= 0; --style) {
        COptionUI* o = option(style);
        if (!o)
            return -1;
        if (o->IsSelected())
            first = style;
    }
    return first < 0 ? 0 : first;
}

void MusicWnd::showStyle()
{
    const int style = m_styles.selected;
    for (int c = 0; c < 3; ++c) {
        CSliderUI* s = slider(c);
        if (!s) {
            platform::debugOutput(L"GetAudioLightInfo control is NULL");
            return;
        }
        s->SetValue(m_styles.colours[style][c]);
    }
    if (CControlUI* preview = m_pm.FindControl(L"audio_color_show"))
        preview->SetBkColor(previewColour(m_styles.colours[style]));
}

void MusicWnd::takeName(int style)
{
    CControlUI* edit = m_pm.FindControl(numbered(L"audio_edit_name", style));
    if (!edit)
        return;
    const std::wstring text(edit->GetText());
    // The default's translation left as it was is still the default.
    const bool untouchedDefault = text == shownStyleName(style, windows::defaultStyleName(style));
    m_styles.names[style] = untouchedDefault ? windows::defaultStyleName(style)
                                             : windows::styleNameFromEdit(style, text);
    if (text.empty())
        edit->SetText(shownStyleName(style, m_styles.names[style]));
}

void MusicWnd::Notify(TNotifyUI& msg)
{
    if (!msg.pSender) {
        WindowImplBase::Notify(msg);
        return;
    }
    const std::wstring name(msg.pSender->GetName());
    if (msg.sType == L"selectchanged" && styleOf(name, L"audio_select_tab") >= 0) {
        const int style = selectedStyle();
        if (style < 0) {
            platform::debugOutput(L"GetAudioLightInfo control is NULL");
            return;
        }
        m_styles.selected = style;
        showStyle();
        return;
    }
    if (msg.sType == L"valuechanged") {
        for (int c = 0; c < 3; ++c) {
            if (!shell::equalsNoCase(name, kSliders[c]))
                continue;
            const int style = selectedStyle();
            CSliderUI* s = slider(c);
            if (style < 0 || !s) {
                platform::debugOutput(L"GetAudioLightInfo control is NULL");
                return;
            }
            m_styles.selected = style;
            m_styles.colours[style][c] = std::clamp(s->GetValue(), 0, windows::kAudioLevelMax);
            showStyle();
            return;
        }
    }
    if (msg.sType == L"killfocus") {
        if (const int style = styleOf(name, L"audio_edit_name"); style >= 0) {
            takeName(style);
            return;
        }
    }
    WindowImplBase::Notify(msg);
}

void MusicWnd::OnClick(TNotifyUI& msg)
{
    const std::wstring name(msg.pSender->GetName());
    if (name == L"okbtn") {
        // A name still being typed counts, as if its edit had lost focus.
        for (int style = 0; style < windows::kAudioStyleCount; ++style)
            takeName(style);
        Close(1);
    } else if (shell::equalsNoCase(name, L"closebtn")) {
        Close(0);
    }
}

LRESULT MusicWnd::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    if (wParam == SC_CLOSE) {
        // Alt+F4 ends the application through the main window's own close, so its
        // shutdown (the companion's stop among it) still runs.
        Close(0);
        if (m_mainWnd)
            platform::postMessage(m_mainWnd, WM_CLOSE, 0, 0);
        bHandled = true;
        return 0;
    }
    return WindowImplBase::OnSysCommand(msg, wParam, lParam, bHandled);
}

LRESULT MusicWnd::HandleCustomMessage(UINT msg, WPARAM, LPARAM, bool& bHandled)
{
    bHandled = false;
    if (msg == shell::MSG_LANGUAGE_CHANGED) {
        RefreshTitle();
        m_pm.NeedUpdate();
        m_pm.Invalidate();
        bHandled = true;
    }
    return 0;
}
