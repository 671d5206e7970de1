#pragma once

#include "ui/control_ui.h"

// Hue across, saturation down, brightness in a bar below. Sends "colorchanged" when
// the user picks; SetSelectColor only moves the marks.
class CColorPaletteUI : public CControlUI {
public:
    const wchar_t* GetClass() const override { return L"ColorPaletteUI"; }
    void* GetInterface(std::wstring_view name) override;

    DWORD GetSelectColor() const;
    void SetSelectColor(DWORD argb);
    void SetBarHeight(int height) { m_nBarHeight = height; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintStatusImage(ui::Canvas& canvas) override;

private:
    RECT PaletteRect() const;
    RECT BarRect() const;
    void PickAt(POINT pt, bool notify);

    double m_hue = 0.0;        // 0-360
    double m_saturation = 1.0; // 0-1
    double m_value = 1.0;      // 0-1
    int m_nBarHeight = 10;
    enum class Drag { None, Palette, Bar } m_drag = Drag::None;
};
