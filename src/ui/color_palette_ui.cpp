#include "ui/color_palette_ui.h"

#include "ui/paint_manager_ui.h"

#include <algorithm>
#include <cmath>

namespace {

DWORD hsvToArgb(double hue, double saturation, double value)
{
    const double c = value * saturation;
    const double h = std::fmod(hue, 360.0) / 60.0;
    const double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h)) {
    case 0:
        r = c;
        g = x;
        break;
    case 1:
        r = x;
        g = c;
        break;
    case 2:
        g = c;
        b = x;
        break;
    case 3:
        g = x;
        b = c;
        break;
    case 4:
        r = x;
        b = c;
        break;
    default:
        r = c;
        b = x;
        break;
    }
    const double m = value - c;
    auto channel = [m](double v) { return static_cast<DWORD>(std::lround((v + m) * 255.0)); };
    return 0xFF000000u | (channel(r) << 16) | (channel(g) << 8) | channel(b);
}

} // namespace

void* CColorPaletteUI::GetInterface(std::wstring_view name)
{
    if (name == L"ColorPalette")
        return this;
    return CControlUI::GetInterface(name);
}

DWORD CColorPaletteUI::GetSelectColor() const
{
    return hsvToArgb(m_hue, m_saturation, m_value);
}

void CColorPaletteUI::SetSelectColor(DWORD argb)
{
    const double r = ((argb >> 16) & 0xFF) / 255.0;
    const double g = ((argb >> 8) & 0xFF) / 255.0;
    const double b = (argb & 0xFF) / 255.0;
    const double max = std::max({r, g, b});
    const double min = std::min({r, g, b});
    const double delta = max - min;
    m_value = max;
    m_saturation = max > 0 ? delta / max : 0;
    if (delta > 0) {
        double hue;
        if (max == r)
            hue = 60 * std::fmod((g - b) / delta, 6.0);
        else if (max == g)
            hue = 60 * ((b - r) / delta + 2);
        else
            hue = 60 * ((r - g) / delta + 4);
        m_hue = hue < 0 ? hue + 360 : hue;
    }
    Invalidate();
}

RECT CColorPaletteUI::PaletteRect() const
{
    RECT rc = m_rcItem;
    rc.bottom -= Scaled(m_nBarHeight) + Scaled(4);
    return rc;
}

RECT CColorPaletteUI::BarRect() const
{
    RECT rc = m_rcItem;
    rc.top = rc.bottom - Scaled(m_nBarHeight);
    return rc;
}

void CColorPaletteUI::PickAt(POINT pt, bool notify)
{
    if (m_drag == Drag::Palette) {
        const RECT rc = PaletteRect();
        const int width = std::max(1, rc.right - rc.left - 1);
        const int height = std::max(1, rc.bottom - rc.top - 1);
        m_hue = 360.0 * std::clamp(pt.x - rc.left, 0, width) / width;
        if (m_hue >= 360.0)
            m_hue = 359.9;
        m_saturation = 1.0 - static_cast<double>(std::clamp(pt.y - rc.top, 0, height)) / height;
    } else if (m_drag == Drag::Bar) {
        const RECT rc = BarRect();
        const int width = std::max(1, rc.right - rc.left - 1);
        m_value = 1.0 - static_cast<double>(std::clamp(pt.x - rc.left, 0, width)) / width;
    }
    Invalidate();
    if (notify && m_pManager)
        m_pManager->SendNotify(this, L"colorchanged", GetSelectColor());
}

void CColorPaletteUI::DoEvent(TEventUI& event)
{
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
        if (!IsEnabled())
            return;
        if (PtInRect(PaletteRect(), event.ptMouse))
            m_drag = Drag::Palette;
        else if (PtInRect(BarRect(), event.ptMouse))
            m_drag = Drag::Bar;
        else
            return;
        PickAt(event.ptMouse, false);
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_drag != Drag::None)
            PickAt(event.ptMouse, false);
        return;
    case UIEVENT_BUTTONUP:
        if (m_drag != Drag::None) {
            PickAt(event.ptMouse, true);
            m_drag = Drag::None;
        }
        return;
    default:
        break;
    }
    CControlUI::DoEvent(event);
}

void CColorPaletteUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"barheight")
        SetBarHeight(parseInt(value));
    else if (name == L"selectcolor")
        SetSelectColor(parseColor(value));
    else
        CControlUI::SetAttribute(name, value);
}

void CColorPaletteUI::PaintStatusImage(ui::Canvas& canvas)
{
    const RECT palette = PaletteRect();
    const int width = palette.right - palette.left;
    if (width <= 0)
        return;
    // Six hue ramps, then white fading in towards the bottom for saturation.
    for (int segment = 0; segment < 6; ++segment) {
        const RECT part{palette.left + width * segment / 6, palette.top,
                        palette.left + width * (segment + 1) / 6, palette.bottom};
        canvas.fillGradient(part, hsvToArgb(segment * 60.0, 1, 1),
                            hsvToArgb((segment + 1) * 60.0, 1, 1), false);
    }
    canvas.fillGradient(palette, 0x00FFFFFF, 0xFFFFFFFF, true);
    const RECT bar = BarRect();
    canvas.fillGradient(bar, hsvToArgb(m_hue, m_saturation, 1), 0xFF000000, false);

    const int x = palette.left + static_cast<int>(m_hue / 360.0 * (width - 1));
    const int y =
        palette.top + static_cast<int>((1.0 - m_saturation) * (palette.bottom - palette.top - 1));
    const int mark = Scaled(3);
    canvas.strokeRect(RECT{x - mark, y - mark, x + mark + 1, y + mark + 1}, 1, 0xFF000000);
    const int bx = bar.left + static_cast<int>((1.0 - m_value) * (bar.right - bar.left - 1));
    canvas.fillRect(RECT{bx - 1, bar.top, bx + 2, bar.bottom}, 0xFFFFFFFF);
}
