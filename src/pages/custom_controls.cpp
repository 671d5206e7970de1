#include "pages/custom_controls.h"

#include "ui/paint_manager_ui.h"

#include <algorithm>

void CCircleProgressUI::PaintStatusImage(ui::Canvas& canvas)
{
    // A disc that fills from the centre with the value.
    const int width = m_rcItem.right - m_rcItem.left;
    const int height = m_rcItem.bottom - m_rcItem.top;
    const int range = std::max(1, m_nMax - m_nMin);
    const int cx = width * (m_nValue - m_nMin) / range;
    const int cy = height * (m_nValue - m_nMin) / range;
    const int left = m_rcItem.left + (width - cx) / 2;
    const int top = m_rcItem.top + (height - cy) / 2;
    canvas.fillEllipse(RECT{left, top, left + cx, top + cy}, m_dwForeColor);
}

void CSelectPanelUI::DoEvent(TEventUI& event)
{
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
        if (IsEnabled()) {
            m_selecting = true;
            m_start = event.ptMouse;
            m_selection = RECT{m_start.x, m_start.y, m_start.x, m_start.y};
            if (m_pManager)
                m_pManager->SetCapture(this);
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_selecting) {
            m_selection =
                RECT{std::min(m_start.x, event.ptMouse.x), std::min(m_start.y, event.ptMouse.y),
                     std::max(m_start.x, event.ptMouse.x), std::max(m_start.y, event.ptMouse.y)};
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_selecting) {
            m_selecting = false;
            Invalidate();
            if (m_pManager) {
                m_pManager->SetCapture(nullptr);
                m_pManager->SendNotify(this, L"click_select_end");
            }
        }
        return;
    default:
        break;
    }
    CContainerUI::DoEvent(event);
}

CControlUI* CSelectPanelUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags)
{
    // The keys stay out of the hit test: the press is the box's.
    if ((flags & UIFIND_HITTEST) != 0 && m_boxOverKeys && m_boxOverKeys())
        return CControlUI::FindControl(proc, data, flags);
    return CContainerUI::FindControl(proc, data, flags);
}

bool selectionTakes(const RECT& selection, const RECT& key)
{
    return key.left <= selection.right && selection.left <= key.right &&
           key.top <= selection.bottom && selection.top <= key.bottom;
}

void CSelectPanelUI::DoPaint(ui::Canvas& canvas, const RECT& paint)
{
    CContainerUI::DoPaint(canvas, paint);
    if (!m_selecting)
        return;
    canvas.fillRect(m_selection, 0x400099FF);
    canvas.strokeRect(m_selection, 1, 0xFF0099FF);
    // The lights the box will paint, so the user sees them before letting go.
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* key = GetItemAt(i);
        const auto isLight = [](CControlUI* button) {
            return std::wstring_view(button->GetUserData()).starts_with(L"light_") ||
                   std::wstring_view(button->GetName()).starts_with(L"light_");
        };
        if (key && key->IsVisible() && key->GetInterface(L"DeviceKeyButton") && isLight(key) &&
            selectionTakes(m_selection, key->GetPos()))
            canvas.strokeRect(key->GetPos(), 2, 0xFFFFFFFF);
    }
}
