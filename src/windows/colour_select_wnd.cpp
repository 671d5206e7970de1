#include "windows/colour_select_wnd.h"

#include "platform/debug_output.h"
#include "shell/command_routes.h"
#include "ui/button_ui.h"
#include "ui/color_palette_ui.h"
#include "ui/edit_ui.h"
#include "ui/paint_manager_ui.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::wstring_view kPresetPrefix = L"color_option_";
constexpr std::wstring_view kCustomPrefix = L"collect_color_option_";
constexpr std::array<const wchar_t*, 3> kEdits = {L"color_edit_r", L"color_edit_g",
                                                  L"color_edit_b"};

// The swatch number at the end of a name with the prefix, or -1.
int swatchNumber(std::wstring_view name, std::wstring_view prefix)
{
    if (name.size() <= prefix.size() || !shell::equalsNoCase(name.substr(0, prefix.size()), prefix))
        return -1;
    int number = 0;
    for (const wchar_t c : name.substr(prefix.size())) {
        if (c < L'0' || c > L'9' || number > windows::kSwatchCount)
            return -1;
        number = number * 10 + (c - L'0');
    }
    return number < windows::kSwatchCount ? number : -1;
}

} // namespace

CColorSelectWnd::CColorSelectWnd(std::filesystem::path userFile, std::filesystem::path defaultFile)
    : m_file(std::move(userFile), std::move(defaultFile))
{
}

std::optional<std::uint32_t> CColorSelectWnd::Pick(HWND owner, std::uint32_t initial, int dpi,
                                                   const std::filesystem::path& userFolder,
                                                   const std::filesystem::path& defaultFolder)
{
    CColorSelectWnd window(userFolder / windows::ColourSwatchFile::kFileName,
                           defaultFolder / windows::ColourSwatchFile::kFileName);
    if (!window.Create(owner, L"PalletDialog", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, 0, 0, 660,
                       572))
        return std::nullopt;
    window.SetScale(dpi);
    window.SetColour(initial);
    window.ShowSevenColourOption(false);
    window.CenterWindow();
    if (window.ShowModal() != 1)
        return std::nullopt;
    return window.GetColour();
}

COptionUI* CColorSelectWnd::preset(int index) const
{
    return dynamic_cast<COptionUI*>(
        m_pm.FindControl(std::wstring(kPresetPrefix) + std::to_wstring(index)));
}

COptionUI* CColorSelectWnd::custom(int index) const
{
    return dynamic_cast<COptionUI*>(
        m_pm.FindControl(std::wstring(kCustomPrefix) + std::to_wstring(index)));
}

void CColorSelectWnd::InitWindow()
{
    m_state = m_file.open();
    SetColour(m_colour);
    SetSevenColour(m_sevenColour);
    // Preset swatches keep the skin's colours; only the last choice is taken.
    for (int i = 0; i < windows::kSwatchCount; ++i) {
        if (COptionUI* swatch = preset(i))
            m_state.presets[i] = swatch->GetBkColor();
        COptionUI* swatch = custom(i);
        if (!swatch)
            continue;
        m_emptyLook[i] = swatch->GetBkColor();
        if (!m_state.customs[i])
            continue;
        swatch->SetUserData(m_state.customs[i]->holdsColour ? L"1" : L"");
        paintCustom(i, m_state.customs[i]->holdsColour ? std::optional(m_state.customs[i]->colour)
                                                       : std::nullopt);
    }
    // No custom swatch is selected after opening.
    m_state.customSelect = -1;
}

void CColorSelectWnd::paintCustom(int index, std::optional<std::uint32_t> colour)
{
    COptionUI* swatch = custom(index);
    if (!swatch)
        return;
    swatch->SetBkColor(colour.value_or(m_emptyLook[index]));
    swatch->SetSelectedBkColor(colour.value_or(m_emptyLook[index]));
    if (colour)
        swatch->SetBorderSize(0);
}

void CColorSelectWnd::SetScale(int dpi)
{
    static constexpr std::array<int, 7> kAllowed = {48, 72, 96, 120, 144, 168, 192};
    if (std::find(kAllowed.begin(), kAllowed.end(), dpi) == kAllowed.end()) {
        platform::debugOutput(L"SET_WND DPI SET ERROR");
        dpi = 96;
    }
    m_scale = dpi;
    m_pm.SetDPI(dpi);
}

void CColorSelectWnd::SetColour(std::uint32_t argb)
{
    if (CControlUI* show = m_pm.FindControl(L"color_show_btn")) {
        show->SetBkImage(L"");
        show->SetBkColor(argb);
    }
    setPalette(argb);
    m_colour = argb;
    showComponents();
}

void CColorSelectWnd::SetSevenColour(bool on)
{
    m_sevenColour = on;
    if (auto* option = dynamic_cast<COptionUI*>(m_pm.FindControl(L"7color")))
        option->Selected(on, false);
    if (CControlUI* show = m_pm.FindControl(L"color_show_btn"))
        show->SetBkImage(on ? L"common/base1.png" : L"");
}

void CColorSelectWnd::ShowSevenColourOption(bool show)
{
    if (CControlUI* option = m_pm.FindControl(L"7color"))
        option->SetEnabled(show);
    if (CControlUI* layout = m_pm.FindControl(L"7color_layout"))
        layout->SetVisible(show);
}

void CColorSelectWnd::setPalette(std::uint32_t argb)
{
    if (auto* palette = dynamic_cast<CColorPaletteUI*>(m_pm.FindControl(L"Pallet")))
        palette->SetSelectColor(argb);
}

void CColorSelectWnd::showComponents()
{
    const std::uint32_t parts[3] = {m_colour >> 16 & 0xFF, m_colour >> 8 & 0xFF, m_colour & 0xFF};
    for (std::size_t i = 0; i < kEdits.size(); ++i)
        if (CControlUI* edit = m_pm.FindControl(kEdits[i]))
            edit->SetText(std::to_wstring(parts[i]));
}

void CColorSelectWnd::Notify(TNotifyUI& msg)
{
    if (!msg.pSender) {
        WindowImplBase::Notify(msg);
        return;
    }
    const std::wstring name(msg.pSender->GetName());
    if (msg.sType == L"colorchanged" && shell::equalsNoCase(name, L"Pallet")) {
        onPaletteChanged();
        return;
    }
    const bool isEdit = std::any_of(kEdits.begin(), kEdits.end(),
                                    [&](const wchar_t* e) { return shell::equalsNoCase(name, e); });
    if (isEdit &&
        (msg.sType == L"textchanged" || msg.sType == L"killfocus" || msg.sType == L"return")) {
        onEdit(msg.pSender, msg.sType != L"textchanged");
        return;
    }
    if (msg.sType == L"selectchanged" && shell::equalsNoCase(name, L"7color")) {
        if (auto* option = dynamic_cast<COptionUI*>(msg.pSender))
            SetSevenColour(option->IsSelected());
        return;
    }
    WindowImplBase::Notify(msg);
}

void CColorSelectWnd::onEdit(CControlUI* sender, bool finished)
{
    int parts[3] = {0, 0, 0};
    for (std::size_t i = 0; i < kEdits.size(); ++i) {
        CControlUI* edit = m_pm.FindControl(kEdits[i]);
        if (!edit)
            continue;
        const auto read = windows::readComponentEdit(edit->GetText(), finished && edit == sender);
        parts[i] = read.value;
        if (read.shown)
            edit->SetText(*read.shown);
    }
    m_colour = windows::colourFromComponents(parts[0], parts[1], parts[2]);
    setPalette(m_colour);
    customUpdate();
}

void CColorSelectWnd::onPaletteChanged()
{
    auto* palette = dynamic_cast<CColorPaletteUI*>(m_pm.FindControl(L"Pallet"));
    if (!palette)
        return;
    m_colour = palette->GetSelectColor();
    customUpdate();
    showComponents();
}

void CColorSelectWnd::onPresetClicked(int index)
{
    COptionUI* swatch = preset(index);
    if (!swatch)
        return;
    m_state.presetSelect = index;
    m_file.savePresets(m_state);
    m_colour = swatch->GetBkColor();
    setPalette(m_colour);
    customUpdate();
    showComponents();
}

void CColorSelectWnd::onCustomClicked(int index)
{
    COptionUI* swatch = custom(index);
    if (!swatch)
        return;
    m_state.customSelect = index;
    if (std::wstring(swatch->GetUserData()) != L"1")
        return;
    syncCustomsFromControls();
    m_file.saveCustoms(m_state);
    m_colour = swatch->GetBkColor();
    if (CControlUI* show = m_pm.FindControl(L"color_show_btn"))
        show->SetBkColor(m_colour);
    SetSevenColour(false);
    setPalette(m_colour);
    showComponents();
}

void CColorSelectWnd::syncCustomsFromControls()
{
    // An empty swatch is stored as the file has always held one (white, no "1"), whatever
    // it looks like on screen.
    for (int i = 0; i < windows::kSwatchCount; ++i)
        if (COptionUI* swatch = custom(i))
            m_state.customs[i] = std::wstring(swatch->GetUserData()) == L"1"
                                     ? windows::CustomSwatch{swatch->GetBkColor(), true}
                                     : windows::CustomSwatch{};
}

void CColorSelectWnd::customUpdate()
{
    const int index = m_state.customSelect;
    COptionUI* swatch = index >= 0 ? custom(index) : nullptr;
    if (swatch && swatch->IsSelected()) {
        swatch->SetUserData(L"1");
        paintCustom(index, m_colour);
        syncCustomsFromControls();
        m_file.saveCustoms(m_state);
    }
    if (CControlUI* show = m_pm.FindControl(L"color_show_btn"))
        show->SetBkColor(m_colour);
    SetSevenColour(false);
}

void CColorSelectWnd::OnClick(TNotifyUI& msg)
{
    const std::wstring name(msg.pSender->GetName());
    if (const int i = swatchNumber(name, kCustomPrefix); i >= 0) {
        onCustomClicked(i);
    } else if (const int j = swatchNumber(name, kPresetPrefix); j >= 0) {
        onPresetClicked(j);
    } else if (shell::equalsNoCase(name, L"okbtn")) {
        if (!m_pm.FindControl(L"Pallet")) {
            Close(2);
            return;
        }
        if (CControlUI* show = m_pm.FindControl(L"color_show_btn"))
            m_colour = show->GetBkColor();
        Close(1);
    } else if (shell::equalsNoCase(name, L"closebtn") || shell::equalsNoCase(name, L"laterbtn")) {
        Close(0);
    } else if (shell::equalsNoCase(name, L"minbtn")) {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (shell::equalsNoCase(name, L"maxbtn")) {
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    } else if (shell::equalsNoCase(name, L"restorebtn")) {
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

LRESULT CColorSelectWnd::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    // Alt+F4 here is a cancel, like the window's own close buttons.
    if (wParam == SC_CLOSE) {
        Close(0);
        bHandled = true;
        return 0;
    }
    return WindowImplBase::OnSysCommand(msg, wParam, lParam, bHandled);
}
