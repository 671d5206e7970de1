#pragma once

#include "ui/window_impl_base.h"
#include "windows/colour_swatches.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

class COptionUI;

// The modal colour picker: a palette, red/green/blue numbers, 20 preset swatches and 20
// swatches that remember the user's colours. Result 1 is OK; GetColour() then holds the pick.
class CColorSelectWnd : public WindowImplBase {
public:
    // The swatch file in the user's folder and its default copy.
    CColorSelectWnd(std::filesystem::path userFile, std::filesystem::path defaultFile);

    // Runs the window over the owner; the chosen colour, or nullopt when cancelled.
    static std::optional<std::uint32_t> Pick(HWND owner, std::uint32_t initial, int dpi,
                                             const std::filesystem::path& userFolder,
                                             const std::filesystem::path& defaultFolder);

    const wchar_t* GetWindowClassName() const override { return L"ColorSelectWnd"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    void OnClick(TNotifyUI& msg) override;

    // Other values than 48, 72, ... 192 become 96.
    void SetScale(int dpi);
    void SetColour(std::uint32_t argb);
    void SetSevenColour(bool on);
    void ShowSevenColourOption(bool show);
    std::uint32_t GetColour() const { return m_colour; }
    const windows::SwatchState& swatches() const { return m_state; }

protected:
    CDuiString GetSkinFile() override { return L"PalletDialog.xml"; }
    const wchar_t* GetTitleTextId() const override { return L"color_title_text"; }
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    COptionUI* preset(int index) const;
    COptionUI* custom(int index) const;
    void showComponents();
    // A held colour fills the swatch; without one it shows the skin's empty look.
    void paintCustom(int index, std::optional<std::uint32_t> colour);
    void onEdit(CControlUI* sender, bool finished);
    void onPaletteChanged();
    void onPresetClicked(int index);
    void onCustomClicked(int index);
    // After every change of the current colour: the selected custom swatch takes it.
    void customUpdate();
    void setPalette(std::uint32_t argb);
    void syncCustomsFromControls();

    windows::ColourSwatchFile m_file;
    windows::SwatchState m_state;
    // Each custom swatch's look in the skin, which is its look while it holds no colour.
    std::array<std::uint32_t, windows::kSwatchCount> m_emptyLook{};
    std::uint32_t m_colour = 0xFFFFFFFF;
    bool m_sevenColour = false;
    int m_scale = 96;
};
