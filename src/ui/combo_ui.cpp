#include "ui/combo_ui.h"

#include "ui/paint_manager_ui.h"
#include "ui/scroll_bar.h"

#include <algorithm>

CComboUI::CComboUI()
{
    m_dwBackColor = 0xFFFFFFFF;
    m_dwBorderColor = 0xFF999999;
    m_nBorderSize = 1;
}

CComboUI::~CComboUI()
{
    if (m_pManager && m_pManager->GetPopupOwner() == this)
        m_pManager->SetPopup(nullptr, RECT{});
}

void* CComboUI::GetInterface(std::wstring_view name)
{
    if (name == L"Combo")
        return this;
    if (name == L"IListOwner")
        return static_cast<IListOwnerUI*>(this);
    if (name == L"Popup")
        return static_cast<IPopupUI*>(this);
    return CContainerUI::GetInterface(name);
}

CDuiString CComboUI::GetText() const
{
    if (CControlUI* item = GetItemAt(m_iCurSel))
        return item->GetText();
    return CContainerUI::GetText();
}

void CComboUI::Reindex()
{
    ui::reindexRows(*this);
}

bool CComboUI::Add(CControlUI* control)
{
    return AddAt(control, GetCount());
}

bool CComboUI::AddAt(CControlUI* control, int index)
{
    if (!CContainerUI::AddAt(control, index))
        return false;
    ui::adoptRow(*control, *this);
    m_iCurSel = ui::selectionAfterInsert(m_iCurSel, index);
    Reindex();
    return true;
}

bool CComboUI::Remove(CControlUI* control, bool doNotDestroy)
{
    const int index = GetItemIndex(control);
    return index >= 0 && RemoveAt(index, doNotDestroy);
}

bool CComboUI::RemoveAt(int index, bool doNotDestroy)
{
    if (!CContainerUI::RemoveAt(index, doNotDestroy))
        return false;
    m_iCurSel = ui::selectionAfterRemove(m_iCurSel, index);
    Reindex();
    Invalidate();
    return true;
}

void CComboUI::RemoveAll()
{
    ClosePopup();
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
}

bool CComboUI::SelectItem(int index, bool takeFocus, bool triggerEvent)
{
    if (index == m_iCurSel)
        return true;
    const int old = m_iCurSel;
    auto itemAt = [this](int i) {
        CControlUI* control = GetItemAt(i);
        return control ? static_cast<IListItemUI*>(control->GetInterface(L"ListItem")) : nullptr;
    };
    if (index < 0) {
        if (auto* previous = itemAt(old))
            previous->Select(false, false);
        m_iCurSel = -1;
        Invalidate();
        return true;
    }
    CControlUI* control = GetItemAt(index);
    IListItemUI* item = itemAt(index);
    if (!control || !item || !control->IsVisible() || !control->IsEnabled())
        return false;
    if (auto* previous = itemAt(old))
        previous->Select(false, false);
    m_iCurSel = index;
    item->Select(true, false);
    if (m_bDropped)
        ScrollPopupToShow(index);
    if (takeFocus && m_pManager && !m_bDropped)
        m_pManager->SetFocus(this);
    Invalidate();
    if (triggerEvent && m_pManager)
        m_pManager->SendNotify(this, L"itemselect", static_cast<WPARAM>(m_iCurSel),
                               static_cast<LPARAM>(old));
    return true;
}

int CComboUI::NextSelectable(int from, int step) const
{
    for (int i = from + step; i >= 0 && i < GetCount(); i += step) {
        const CControlUI* control = GetItemAt(i);
        if (control->IsVisible() && control->IsEnabled())
            return i;
    }
    return -1;
}

int CComboUI::PopupContentHeight() const
{
    int total = 0;
    for (auto* item : m_items) {
        if (item->IsVisible())
            total += std::max(1, item->EstimateSize(SIZE{}).cy);
    }
    return total;
}

int CComboUI::PopupScrollRange() const
{
    return std::max(0, PopupContentHeight() - (m_rcPopup.bottom - m_rcPopup.top));
}

RECT CComboUI::GetDropScrollTrackRect() const
{
    if (!m_bDropped || PopupScrollRange() <= 0)
        return RECT{};
    // Inside the list's one-pixel border.
    return RECT{m_rcPopup.right - 1 - Scaled(10), m_rcPopup.top + 1, m_rcPopup.right - 1,
                m_rcPopup.bottom - 1};
}

RECT CComboUI::GetDropScrollThumbRect() const
{
    return ui::scrollThumbRect(GetDropScrollTrackRect(), PopupContentHeight(), m_popupScroll,
                               PopupScrollRange(), Scaled(16));
}

void CComboUI::ScrollPopupTo(int y)
{
    y = std::clamp(y, 0, PopupScrollRange());
    if (y == m_popupScroll)
        return;
    m_popupScroll = y;
    LayoutPopup();
    Invalidate();
}

void CComboUI::ScrollPopupToShow(int index)
{
    CControlUI* target = GetItemAt(index);
    if (!target || !target->IsVisible()) {
        LayoutPopup();
        return;
    }
    int top = 0;
    for (auto* item : m_items) {
        if (item == target)
            break;
        if (item->IsVisible())
            top += std::max(1, item->EstimateSize(SIZE{}).cy);
    }
    const int bottom = top + std::max(1, target->EstimateSize(SIZE{}).cy);
    const int height = m_rcPopup.bottom - m_rcPopup.top;
    int scroll = m_popupScroll;
    if (top < scroll)
        scroll = top;
    else if (bottom > scroll + height)
        scroll = bottom - height;
    m_popupScroll = std::clamp(scroll, 0, PopupScrollRange());
    LayoutPopup();
    Invalidate();
}

void CComboUI::LayoutPopup()
{
    // Rows leave the scroll bar its own strip.
    const RECT track = GetDropScrollTrackRect();
    const int right = track.right > track.left ? track.left : m_rcPopup.right;
    int y = m_rcPopup.top - m_popupScroll;
    for (auto* item : m_items) {
        if (!item->IsVisible())
            continue;
        const int cy = std::max(1, item->EstimateSize(SIZE{}).cy);
        item->SetPos(RECT{m_rcPopup.left, y, right, y + cy}, false);
        y += cy;
    }
}

bool CComboUI::Activate()
{
    if (!CControlUI::Activate() || !m_pManager)
        return false;
    if (m_bDropped) {
        ClosePopup();
        return true;
    }
    // Rows stack below the combo, as high as they need up to the drop box height.
    const int total = PopupContentHeight();
    const int height = std::min(total, Scaled(m_szDropBox.cy > 0 ? m_szDropBox.cy : 150));
    const int width = m_szDropBox.cx > 0 ? Scaled(m_szDropBox.cx) : m_rcItem.right - m_rcItem.left;
    RECT popup{m_rcItem.left, m_rcItem.bottom, m_rcItem.left + width, m_rcItem.bottom + height};
    const SIZE client = m_pManager->GetClientSize();
    if (popup.bottom > client.cy && m_rcItem.top - height >= 0) {
        popup.top = m_rcItem.top - height;
        popup.bottom = m_rcItem.top;
    }
    m_rcPopup = popup;
    m_popupScroll = 0;
    m_thumbGrab.reset();
    m_bDropped = true;
    // Open scrolled so that the current row shows.
    ScrollPopupToShow(m_iCurSel);
    m_pManager->SetPopup(this, popup);
    Invalidate();
    return true;
}

void CComboUI::ClosePopup()
{
    if (!m_bDropped)
        return;
    m_bDropped = false;
    m_thumbGrab.reset();
    if (m_pManager && m_pManager->GetPopupOwner() == this)
        m_pManager->SetPopup(nullptr, RECT{});
    Invalidate();
}

void CComboUI::SetEnabled(bool enabled)
{
    CContainerUI::SetEnabled(enabled);
    if (!enabled)
        ClosePopup();
}

void CComboUI::SetPos(RECT rc, bool needInvalidate)
{
    // Rows are laid out in the drop list, not inside the combo.
    CControlUI::SetPos(rc, needInvalidate);
}

CControlUI* CComboUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags)
{
    if ((flags & UIFIND_HITTEST) != 0)
        return CControlUI::FindControl(proc, data, flags);
    return CContainerUI::FindControl(proc, data, flags);
}

bool CComboUI::HandleDropScrollEvent(TEventUI& event)
{
    if (!m_bDropped)
        return false;
    const RECT track = GetDropScrollTrackRect();
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK: {
        if (!PtInRect(track, event.ptMouse))
            return false;
        const RECT thumb = GetDropScrollThumbRect();
        if (PtInRect(thumb, event.ptMouse)) {
            m_thumbGrab = event.ptMouse.y - thumb.top;
            Invalidate();
        } else {
            // A press on the track pages towards it, as scroll bars do.
            const int page = std::max(1, static_cast<int>(m_rcPopup.bottom - m_rcPopup.top));
            ScrollPopupTo(m_popupScroll + (event.ptMouse.y < thumb.top ? -page : page));
        }
        return true;
    }
    case UIEVENT_MOUSEMOVE:
        if (!m_thumbGrab)
            return false;
        ScrollPopupTo(
            ui::scrollPositionForThumb(track, GetDropScrollThumbRect(), PopupScrollRange(),
                                       event.ptMouse.y - *m_thumbGrab - track.top, m_popupScroll));
        return true;
    case UIEVENT_BUTTONUP:
        // The end of a drag or of a press on the bar: the list stays open.
        if (m_thumbGrab) {
            m_thumbGrab.reset();
            Invalidate();
            return true;
        }
        return PtInRect(track, event.ptMouse);
    default:
        return false;
    }
}

void CComboUI::DoEvent(TEventUI& event)
{
    if (HandleDropScrollEvent(event))
        return;
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
        if (IsEnabled() && PtInRect(m_rcItem, event.ptMouse))
            Activate();
        return;
    case UIEVENT_BUTTONUP:
        // From a row of the open list: the choice is made.
        if (m_bDropped && !PtInRect(m_rcItem, event.ptMouse))
            ClosePopup();
        return;
    case UIEVENT_KEYDOWN:
        if (!IsEnabled())
            return;
        if (event.wParam == VK_UP || event.wParam == VK_DOWN) {
            const int next = NextSelectable(m_iCurSel, event.wParam == VK_UP ? -1 : 1);
            if (next >= 0)
                SelectItem(next, false, true);
            return;
        }
        if (event.wParam == VK_HOME || event.wParam == VK_END) {
            const bool home = event.wParam == VK_HOME;
            const int next = NextSelectable(home ? -1 : GetCount(), home ? 1 : -1);
            if (next >= 0 && next != m_iCurSel)
                SelectItem(next, false, true);
            return;
        }
        if (event.wParam == VK_RETURN || event.wParam == VK_ESCAPE) {
            ClosePopup();
            return;
        }
        break;
    case UIEVENT_SCROLLWHEEL:
        if (m_bDropped) {
            const int step = Scaled(24) * (static_cast<short>(HIWORD(event.wParam)) > 0 ? -1 : 1);
            ScrollPopupTo(m_popupScroll + step);
            return;
        }
        if (IsEnabled()) {
            const bool up = static_cast<short>(HIWORD(event.wParam)) > 0;
            const int next = NextSelectable(m_iCurSel, up ? -1 : 1);
            if (next >= 0)
                SelectItem(next, false, true);
        }
        return;
    case UIEVENT_KILLFOCUS:
        ClosePopup();
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
    CContainerUI::DoEvent(event);
}

void CComboUI::DoPaint(ui::Canvas& canvas, const RECT& paint)
{
    RECT visible;
    if (!IntersectRect(visible, paint, m_rcItem))
        return;
    PaintBkColor(canvas);
    PaintBkImage(canvas);
    const CDuiString* image = &m_sNormalImage;
    if (!IsEnabled() && !m_sDisabledImage.empty())
        image = &m_sDisabledImage;
    else if (m_bDropped && !m_sPushedImage.empty())
        image = &m_sPushedImage;
    else if (m_bHot && !m_sHotImage.empty())
        image = &m_sHotImage;
    if (!image->empty())
        DrawImage(canvas, *image);
    else {
        // A plain arrow when the skin gives no image.
        const int size = Scaled(4);
        const int cx = m_rcItem.right - Scaled(10);
        const int cy = (m_rcItem.top + m_rcItem.bottom) / 2;
        for (int row = 0; row < size; ++row)
            canvas.fillRect(RECT{cx - size + row, cy - size / 2 + row, cx + size - row,
                                 cy - size / 2 + row + 1},
                            IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor);
    }
    const CDuiString text = GetText();
    if (!text.empty() && m_pManager) {
        const RECT padding = ScaledRect(m_rcTextPadding);
        const RECT rc{m_rcItem.left + padding.left, m_rcItem.top + padding.top,
                      m_rcItem.right - padding.right - Scaled(16),
                      m_rcItem.bottom - padding.bottom};
        canvas.drawText(rc, text, m_pManager->GetFont(m_iFont), m_pManager->GetScale(),
                        IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor,
                        DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
    PaintBorder(canvas);
}

void CComboUI::PaintPopup(ui::Canvas& canvas)
{
    if (!m_pManager)
        return;
    const RECT popup = m_pManager->GetPopupRect();
    canvas.pushClip(popup);
    canvas.fillRect(popup, m_ListInfo.dwBkColor != 0 ? m_ListInfo.dwBkColor : 0xFFFFFFFF);
    for (auto* item : m_items) {
        if (!item->IsVisible())
            continue;
        RECT visible;
        if (IntersectRect(visible, popup, item->GetPos()))
            item->DoPaint(canvas, visible);
    }
    const RECT track = GetDropScrollTrackRect();
    if (track.right > track.left) {
        canvas.fillRect(track, m_dwScrollTrackColor);
        // The thumb sits inside its track, a little wider while it is dragged.
        const RECT thumb = GetDropScrollThumbRect();
        const int inset = m_thumbGrab ? Scaled(1) : Scaled(2);
        canvas.fillRect(RECT{thumb.left + inset, thumb.top, thumb.right - inset, thumb.bottom},
                        m_dwScrollThumbColor);
    }
    canvas.popClip();
    canvas.strokeRect(popup, 1, m_dwBorderColor != 0 ? m_dwBorderColor : 0xFF999999);
}

CControlUI* CComboUI::PopupControlAt(POINT pt)
{
    // The scroll bar is the combo's own.
    if (PtInRect(GetDropScrollTrackRect(), pt))
        return this;
    for (auto* item : m_items) {
        if (item->IsVisible() && item->IsEnabled() && PtInRect(item->GetPos(), pt))
            return item;
    }
    return nullptr;
}

void CComboUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (m_ListInfo.SetAttribute(name, value))
        return;
    if (name == L"dropboxsize")
        m_szDropBox = parseSizeAttribute(value);
    else if (name == L"textpadding")
        m_rcTextPadding = parseRectAttribute(value);
    else if (name == L"font")
        m_iFont = parseInt(value);
    else if (name == L"textcolor")
        m_dwTextColor = parseColor(value);
    else if (name == L"disabledtextcolor")
        m_dwDisabledTextColor = parseColor(value);
    else if (name == L"normalimage")
        m_sNormalImage = value;
    else if (name == L"hotimage")
        m_sHotImage = value;
    else if (name == L"pushedimage")
        m_sPushedImage = value;
    else if (name == L"disabledimage")
        m_sDisabledImage = value;
    else if (name == L"scrolltrackcolor")
        m_dwScrollTrackColor = parseColor(value);
    else if (name == L"scrollthumbcolor")
        m_dwScrollThumbColor = parseColor(value);
    else if (name == L"selectedid" || name == L"cursel")
        SelectItem(parseInt(value), false, false);
    else
        CContainerUI::SetAttribute(name, value);
}
