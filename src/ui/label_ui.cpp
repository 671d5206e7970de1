#include "ui/label_ui.h"

#include "ui/paint_manager_ui.h"

namespace {
constexpr DWORD kDefaultTextColor = 0xFF000000;
constexpr DWORD kDefaultDisabledTextColor = 0xFFA7A6AA;
} // namespace

void* CLabelUI::GetInterface(std::wstring_view name)
{
    if (name == L"Label")
        return this;
    return CControlUI::GetInterface(name);
}

void CLabelUI::SetTextColor(DWORD argb)
{
    m_dwTextColor = argb;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD argb)
{
    m_dwDisabledTextColor = argb;
    Invalidate();
}

void CLabelUI::SetFont(int index)
{
    m_iFont = index;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style)
{
    m_uTextStyle = style;
    Invalidate();
}

void CLabelUI::SetTextPadding(RECT rc)
{
    m_rcTextPadding = rc;
    Invalidate();
}

void CLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"textcolor") {
        SetTextColor(parseColor(value));
    } else if (name == L"disabledtextcolor") {
        SetDisabledTextColor(parseColor(value));
    } else if (name == L"font") {
        SetFont(parseInt(value));
    } else if (name == L"align") {
        m_uTextStyle &= ~(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (value.find(L"center") != std::wstring_view::npos)
            m_uTextStyle |= DT_CENTER;
        else if (value.find(L"right") != std::wstring_view::npos)
            m_uTextStyle |= DT_RIGHT;
    } else if (name == L"valign") {
        m_uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
        if (value.find(L"center") != std::wstring_view::npos)
            m_uTextStyle |= DT_VCENTER;
        else if (value.find(L"bottom") != std::wstring_view::npos)
            m_uTextStyle |= DT_BOTTOM;
    } else if (name == L"endellipsis") {
        if (parseBool(value))
            m_uTextStyle |= DT_END_ELLIPSIS;
        else
            m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (name == L"wordbreak" || name == L"multiline") {
        if (parseBool(value)) {
            m_uTextStyle |= DT_WORDBREAK;
            m_uTextStyle &= ~DT_SINGLELINE;
        } else {
            m_uTextStyle &= ~DT_WORDBREAK;
            m_uTextStyle |= DT_SINGLELINE;
        }
    } else if (name == L"textpadding") {
        SetTextPadding(parseRectAttribute(value));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

DWORD CLabelUI::CurrentTextColor() const
{
    if (!IsEnabled())
        return m_dwDisabledTextColor ? m_dwDisabledTextColor : kDefaultDisabledTextColor;
    return m_dwTextColor ? m_dwTextColor : kDefaultTextColor;
}

void CLabelUI::PaintText(ui::Canvas& canvas)
{
    const CDuiString text = GetText();
    if (text.empty())
        return;
    DrawTextIn(canvas, TextRect(), text, CurrentTextColor());
}

RECT CLabelUI::TextRect() const
{
    const RECT padding = ScaledRect(m_rcTextPadding);
    return RECT{m_rcItem.left + padding.left, m_rcItem.top + padding.top,
                m_rcItem.right - padding.right, m_rcItem.bottom - padding.bottom};
}

void CLabelUI::DrawTextIn(ui::Canvas& canvas, const RECT& rc, std::wstring_view text, DWORD color)
{
    if (!m_pManager || (color >> 24) == 0)
        return;
    canvas.drawText(rc, text, m_pManager->GetFont(m_iFont), m_pManager->GetScale(), color,
                    m_uTextStyle);
}
