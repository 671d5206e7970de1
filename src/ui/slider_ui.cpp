#include "ui/slider_ui.h"

#include "ui/paint_manager_ui.h"

#include <algorithm>

void* CProgressUI::GetInterface(std::wstring_view name)
{
    if (name == L"Progress")
        return this;
    return CLabelUI::GetInterface(name);
}

void CProgressUI::SetHorizontal(bool horizontal)
{
    m_bHorizontal = horizontal;
    Invalidate();
}

void CProgressUI::SetMinValue(int min)
{
    m_nMin = min;
    if (m_nMax < m_nMin)
        m_nMax = m_nMin;
    SetValue(m_nValue);
    Invalidate();
}

void CProgressUI::SetMaxValue(int max)
{
    m_nMax = max;
    if (m_nMin > m_nMax)
        m_nMin = m_nMax;
    SetValue(m_nValue);
    Invalidate();
}

void CProgressUI::SetValue(int value)
{
    value = std::clamp(value, m_nMin, m_nMax);
    if (value == m_nValue)
        return;
    m_nValue = value;
    Invalidate();
}

void CProgressUI::SetForeColor(DWORD argb)
{
    m_dwForeColor = argb;
    Invalidate();
}

void CProgressUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"hor" || name == L"horizontal")
        SetHorizontal(parseBool(value));
    else if (name == L"min")
        SetMinValue(parseInt(value));
    else if (name == L"max")
        SetMaxValue(parseInt(value));
    else if (name == L"value")
        SetValue(parseInt(value));
    else if (name == L"forecolor")
        SetForeColor(parseColor(value));
    else if (name == L"foreimage")
        m_sForeImage = value;
    else
        CLabelUI::SetAttribute(name, value);
}

RECT CProgressUI::ValueRect() const
{
    RECT rc = m_rcItem;
    const int range = m_nMax - m_nMin;
    if (range <= 0)
        return rc;
    const long long offset = m_nValue - m_nMin;
    if (m_bHorizontal)
        rc.right = rc.left + static_cast<int>(offset * (m_rcItem.right - m_rcItem.left) / range);
    else
        rc.top = rc.bottom - static_cast<int>(offset * (m_rcItem.bottom - m_rcItem.top) / range);
    return rc;
}

void CProgressUI::PaintStatusImage(ui::Canvas& canvas)
{
    const RECT value = ValueRect();
    if (value.right <= value.left || value.bottom <= value.top)
        return;
    if (!m_sForeImage.empty()) {
        canvas.pushClip(value);
        DrawImage(canvas, m_sForeImage);
        canvas.popClip();
    } else {
        CRenderEngine::DrawColor(canvas, value, m_dwForeColor);
    }
}

CSliderUI::CSliderUI()
{
    m_dwBackColor = 0xFFD0D0D0;
}

void* CSliderUI::GetInterface(std::wstring_view name)
{
    if (name == L"Slider")
        return this;
    return CProgressUI::GetInterface(name);
}

void CSliderUI::SetEnabled(bool enabled)
{
    CProgressUI::SetEnabled(enabled);
    if (!enabled)
        m_bCaptured = false;
}

RECT CSliderUI::GetThumbRect() const
{
    const int cx = Scaled(m_szThumb.cx);
    const int cy = Scaled(m_szThumb.cy);
    const int range = std::max(1, m_nMax - m_nMin);
    const long long offset = m_nValue - m_nMin;
    if (m_bHorizontal) {
        const int travel = (m_rcItem.right - m_rcItem.left) - cx;
        const int left = m_rcItem.left + static_cast<int>(offset * std::max(0, travel) / range);
        const int top = (m_rcItem.top + m_rcItem.bottom - cy) / 2;
        return RECT{left, top, left + cx, top + cy};
    }
    const int travel = (m_rcItem.bottom - m_rcItem.top) - cy;
    const int top = m_rcItem.bottom - cy - static_cast<int>(offset * std::max(0, travel) / range);
    const int left = (m_rcItem.left + m_rcItem.right - cx) / 2;
    return RECT{left, top, left + cx, top + cy};
}

int CSliderUI::ValueAt(POINT pt) const
{
    const int range = m_nMax - m_nMin;
    if (m_bHorizontal) {
        const int cx = Scaled(m_szThumb.cx);
        const int travel = std::max(1, (m_rcItem.right - m_rcItem.left) - cx);
        const long long x = std::clamp(pt.x - m_rcItem.left - cx / 2, 0, travel);
        return m_nMin + static_cast<int>((x * range + travel / 2) / travel);
    }
    const int cy = Scaled(m_szThumb.cy);
    const int travel = std::max(1, (m_rcItem.bottom - m_rcItem.top) - cy);
    const long long y = std::clamp(m_rcItem.bottom - pt.y - cy / 2, 0, travel);
    return m_nMin + static_cast<int>((y * range + travel / 2) / travel);
}

void CSliderUI::SetByUser(int value, const wchar_t* notification)
{
    SetValue(value);
    if (m_pManager && notification)
        m_pManager->SendNotify(this, notification);
}

void CSliderUI::DoEvent(TEventUI& event)
{
    if (!IsMouseEnabled() && event.Type > UIEVENT__FIRST && event.Type < UIEVENT_KILLFOCUS) {
        if (m_pParent)
            m_pParent->DoEvent(event);
        return;
    }
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (IsEnabled()) {
            m_bCaptured = true;
            const int value = ValueAt(event.ptMouse);
            if (value != m_nValue)
                SetByUser(value, m_bSendMove ? L"movevaluechanged" : nullptr);
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_bCaptured) {
            const int value = ValueAt(event.ptMouse);
            if (value != m_nValue)
                SetByUser(value, m_bSendMove ? L"movevaluechanged" : nullptr);
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_bCaptured) {
            m_bCaptured = false;
            SetByUser(ValueAt(event.ptMouse), L"valuechanged");
        }
        return;
    case UIEVENT_SCROLLWHEEL:
        if (IsEnabled()) {
            const bool up = static_cast<short>(HIWORD(event.wParam)) > 0;
            SetByUser(m_nValue + (up ? m_nStep : -m_nStep), L"valuechanged");
        }
        return;
    case UIEVENT_KEYDOWN:
        if (IsEnabled() && (event.wParam == VK_LEFT || event.wParam == VK_DOWN)) {
            SetByUser(m_nValue - m_nStep, L"valuechanged");
            return;
        }
        if (IsEnabled() && (event.wParam == VK_RIGHT || event.wParam == VK_UP)) {
            SetByUser(m_nValue + m_nStep, L"valuechanged");
            return;
        }
        break;
    case UIEVENT_MOUSEENTER:
        m_bHot = true;
        Invalidate();
        return;
    case UIEVENT_MOUSELEAVE:
        m_bHot = false;
        Invalidate();
        return;
    default:
        break;
    }
    CProgressUI::DoEvent(event);
}

void CSliderUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"step")
        SetChangeStep(parseInt(value));
    else if (name == L"sendmove")
        SetSendMove(parseBool(value));
    else if (name == L"thumbsize")
        SetThumbSize(parseSizeAttribute(value));
    else if (name == L"thumbimage")
        m_sThumbImage = value;
    else if (name == L"thumbhotimage")
        m_sThumbHotImage = value;
    else if (name == L"thumbpushedimage")
        m_sThumbPushedImage = value;
    else if (name == L"thumbcolor")
        m_dwThumbColor = parseColor(value);
    else
        CProgressUI::SetAttribute(name, value);
}

void CSliderUI::PaintStatusImage(ui::Canvas& canvas)
{
    CProgressUI::PaintStatusImage(canvas);
    const RECT thumb = GetThumbRect();
    const CDuiString* image = &m_sThumbImage;
    if (m_bCaptured && !m_sThumbPushedImage.empty())
        image = &m_sThumbPushedImage;
    else if (m_bHot && !m_sThumbHotImage.empty())
        image = &m_sThumbHotImage;
    if (!image->empty() && CRenderEngine::DrawImageString(canvas, thumb, *image,
                                                          m_pManager ? m_pManager->GetScale() : 1))
        return;
    CRenderEngine::DrawColor(canvas, thumb, m_dwThumbColor);
}
