#include "ui/list_ui.h"

#include "ui/paint_manager_ui.h"

#include <algorithm>

bool TListInfoUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"itemfont")
        nFont = parseInt(value);
    else if (name == L"itemalign")
        uTextStyle = (uTextStyle & ~(DT_CENTER | DT_RIGHT)) | (value == L"center"  ? DT_CENTER
                                                               : value == L"right" ? DT_RIGHT
                                                                                   : DT_LEFT);
    else if (name == L"itemtextpadding")
        rcTextPadding = parseRectAttribute(value);
    else if (name == L"itemtextcolor")
        dwTextColor = parseColor(value);
    else if (name == L"itembkcolor")
        dwBkColor = parseColor(value);
    else if (name == L"itemselectedtextcolor")
        dwSelectedTextColor = parseColor(value);
    else if (name == L"itemselectedbkcolor")
        dwSelectedBkColor = parseColor(value);
    else if (name == L"itemhottextcolor")
        dwHotTextColor = parseColor(value);
    else if (name == L"itemhotbkcolor")
        dwHotBkColor = parseColor(value);
    else if (name == L"itemdisabledtextcolor")
        dwDisabledTextColor = parseColor(value);
    else
        return false;
    return true;
}

namespace {

IListOwnerUI* ownerOf(CControlUI* owner)
{
    return owner ? static_cast<IListOwnerUI*>(owner->GetInterface(L"IListOwner")) : nullptr;
}

// Shared input rules of both row kinds.
bool rowEvent(CControlUI& row, IListItemUI& item, bool& hot, TEventUI& event)
{
    CPaintManagerUI* manager = row.GetManager();
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
        if (row.IsEnabled() && manager) {
            const auto alive = row.GetLifetime();
            manager->SendNotify(&row, L"itemclick");
            if (alive.expired())
                return true;
            item.Select();
        }
        return true;
    case UIEVENT_DBLCLICK:
        if (row.IsEnabled())
            row.Activate();
        return true;
    case UIEVENT_BUTTONUP:
        // The owner (a combo) may close its list now.
        if (item.GetOwner())
            item.GetOwner()->DoEvent(event);
        return true;
    case UIEVENT_MOUSEENTER:
        hot = true;
        row.Invalidate();
        return true;
    case UIEVENT_MOUSELEAVE:
        hot = false;
        row.Invalidate();
        return true;
    case UIEVENT_SCROLLWHEEL:
    case UIEVENT_KEYDOWN:
        // A clicked row holds the focus; arrows and Enter still move in its list.
        if (item.GetOwner())
            item.GetOwner()->DoEvent(event);
        return true;
    default:
        return false;
    }
}

void paintRowBackground(ui::Canvas& canvas, const RECT& rc, IListOwnerUI* owner, bool selected,
                        bool hot, DWORD ownColor)
{
    if ((ownColor >> 24) != 0) {
        CRenderEngine::DrawColor(canvas, rc, ownColor);
    }
    if (!owner)
        return;
    const TListInfoUI* info = owner->GetListInfo();
    if (selected)
        CRenderEngine::DrawColor(canvas, rc, info->dwSelectedBkColor);
    else if (hot)
        CRenderEngine::DrawColor(canvas, rc, info->dwHotBkColor);
    else if ((ownColor >> 24) == 0)
        CRenderEngine::DrawColor(canvas, rc, info->dwBkColor);
}

} // namespace

namespace ui {

void reindexRows(CContainerUI& owner)
{
    for (int i = 0; i < owner.GetCount(); ++i) {
        if (auto* item = static_cast<IListItemUI*>(owner.GetItemAt(i)->GetInterface(L"ListItem")))
            item->SetIndex(i);
    }
}

void adoptRow(CControlUI& row, CControlUI& owner)
{
    if (auto* item = static_cast<IListItemUI*>(row.GetInterface(L"ListItem")))
        item->SetOwner(&owner);
}

int selectionAfterInsert(int selected, int inserted)
{
    return selected >= inserted ? selected + 1 : selected;
}

int selectionAfterRemove(int selected, int removed)
{
    if (removed == selected)
        return -1;
    return removed < selected ? selected - 1 : selected;
}

} // namespace ui

CListElementUI::CListElementUI() = default;

void* CListElementUI::GetInterface(std::wstring_view name)
{
    if (name == L"ListItem")
        return static_cast<IListItemUI*>(this);
    if (name == L"ListElement")
        return this;
    return CControlUI::GetInterface(name);
}

void CListElementUI::SetOwner(CControlUI* owner)
{
    m_pOwner = ownerOf(owner);
}

bool CListElementUI::Select(bool select, bool triggerEvent)
{
    if (!IsEnabled())
        return false;
    // A row asked to select itself goes through its owner, which then marks it here.
    if (m_pOwner && select && !m_bSelected && m_pOwner->GetCurSel() != m_iIndex)
        return m_pOwner->SelectItem(m_iIndex, true, triggerEvent);
    m_bSelected = select;
    Invalidate();
    return true;
}

bool CListElementUI::Activate()
{
    if (!CControlUI::Activate())
        return false;
    if (m_pManager)
        m_pManager->SendNotify(this, L"itemactivate");
    return true;
}

void CListElementUI::SetVisible(bool visible)
{
    CControlUI::SetVisible(visible);
    if (!visible && m_bSelected && m_pOwner)
        m_pOwner->SelectItem(-1, false, false);
}

void CListElementUI::DoEvent(TEventUI& event)
{
    if (!rowEvent(*this, *this, m_bHot, event))
        CControlUI::DoEvent(event);
}

void CListElementUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"selected") {
        if (parseBool(value))
            Select(true, false);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CListElementUI::PaintBkColor(ui::Canvas& canvas)
{
    paintRowBackground(canvas, m_rcItem, m_pOwner, m_bSelected, m_bHot, m_dwBackColor);
}

void* CListLabelElementUI::GetInterface(std::wstring_view name)
{
    if (name == L"ListLabelElement")
        return this;
    return CListElementUI::GetInterface(name);
}

SIZE CListLabelElementUI::EstimateSize(SIZE available)
{
    SIZE size = CListElementUI::EstimateSize(available);
    if (size.cy == 0)
        size.cy = Scaled(24);
    return size;
}

void CListLabelElementUI::PaintText(ui::Canvas& canvas)
{
    if (!m_pManager)
        return;
    const CDuiString text = GetText();
    if (text.empty())
        return;
    TListInfoUI fallback;
    const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : &fallback;
    DWORD color = info->dwTextColor;
    if (!IsEnabled())
        color = info->dwDisabledTextColor;
    else if (m_bSelected)
        color = info->dwSelectedTextColor;
    else if (m_bHot)
        color = info->dwHotTextColor;
    const RECT padding = ScaledRect(info->rcTextPadding);
    const RECT rc{m_rcItem.left + padding.left, m_rcItem.top + padding.top,
                  m_rcItem.right - padding.right, m_rcItem.bottom - padding.bottom};
    canvas.drawText(rc, text, m_pManager->GetFont(info->nFont), m_pManager->GetScale(), color,
                    info->uTextStyle);
}

void* CListContainerElementUI::GetInterface(std::wstring_view name)
{
    if (name == L"ListItem")
        return static_cast<IListItemUI*>(this);
    if (name == L"ListContainerElement")
        return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

void CListContainerElementUI::SetOwner(CControlUI* owner)
{
    m_pOwner = ownerOf(owner);
}

bool CListContainerElementUI::Select(bool select, bool triggerEvent)
{
    if (!IsEnabled())
        return false;
    // A row asked to select itself goes through its owner, which then marks it here.
    if (m_pOwner && select && !m_bSelected && m_pOwner->GetCurSel() != m_iIndex)
        return m_pOwner->SelectItem(m_iIndex, true, triggerEvent);
    m_bSelected = select;
    Invalidate();
    return true;
}

bool CListContainerElementUI::Activate()
{
    if (!CControlUI::Activate())
        return false;
    if (m_pManager)
        m_pManager->SendNotify(this, L"itemactivate");
    return true;
}

void CListContainerElementUI::DoEvent(TEventUI& event)
{
    if (!rowEvent(*this, *this, m_bHot, event))
        CHorizontalLayoutUI::DoEvent(event);
}

void CListContainerElementUI::PaintBkColor(ui::Canvas& canvas)
{
    paintRowBackground(canvas, m_rcItem, m_pOwner, m_bSelected, m_bHot, m_dwBackColor);
}

CListUI::CListUI()
{
    m_bScrollEnabled = true;
}

void* CListUI::GetInterface(std::wstring_view name)
{
    if (name == L"List")
        return this;
    if (name == L"IListOwner")
        return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::GetInterface(name);
}

void CListUI::Reindex()
{
    ui::reindexRows(*this);
}

bool CListUI::Add(CControlUI* control)
{
    return AddAt(control, GetCount());
}

bool CListUI::AddAt(CControlUI* control, int index)
{
    if (!CVerticalLayoutUI::AddAt(control, index))
        return false;
    ui::adoptRow(*control, *this);
    m_iCurSel = ui::selectionAfterInsert(m_iCurSel, index);
    Reindex();
    return true;
}

bool CListUI::Remove(CControlUI* control, bool doNotDestroy)
{
    const int index = GetItemIndex(control);
    return index >= 0 && RemoveAt(index, doNotDestroy);
}

bool CListUI::RemoveAt(int index, bool doNotDestroy)
{
    if (!CVerticalLayoutUI::RemoveAt(index, doNotDestroy))
        return false;
    m_iCurSel = ui::selectionAfterRemove(m_iCurSel, index);
    Reindex();
    return true;
}

void CListUI::RemoveAll()
{
    m_iCurSel = -1;
    CVerticalLayoutUI::RemoveAll();
}

bool CListUI::SelectItem(int index, bool takeFocus, bool triggerEvent)
{
    if (index == m_iCurSel)
        return true;
    const int old = m_iCurSel;
    if (index < 0) {
        if (auto* previous = GetItemAt(old)) {
            if (auto* item = static_cast<IListItemUI*>(previous->GetInterface(L"ListItem")))
                item->Select(false, false);
        }
        m_iCurSel = -1;
        return true;
    }
    CControlUI* control = GetItemAt(index);
    if (!control || !control->IsVisible() || !control->IsEnabled())
        return false;
    auto* item = static_cast<IListItemUI*>(control->GetInterface(L"ListItem"));
    if (!item)
        return false;
    if (auto* previous = GetItemAt(old)) {
        if (auto* previousItem = static_cast<IListItemUI*>(previous->GetInterface(L"ListItem")))
            previousItem->Select(false, false);
    }
    m_iCurSel = index;
    item->Select(true, false);
    if (takeFocus && m_pManager)
        m_pManager->SetFocus(this);
    EnsureVisible(index);
    if (triggerEvent && m_pManager)
        m_pManager->SendNotify(this, L"itemselect", static_cast<WPARAM>(m_iCurSel),
                               static_cast<LPARAM>(old));
    return true;
}

void CListUI::EnsureVisible(int index)
{
    CControlUI* control = GetItemAt(index);
    if (!control)
        return;
    if (m_bUpdateNeeded || (m_pManager && m_pManager->IsUpdateNeeded())) {
        m_ensureVisible = index;
        return;
    }
    const RECT content = ContentRect();
    const RECT item = control->GetPos();
    if (item.top < content.top)
        SetScrollPos(m_scrollY - (content.top - item.top));
    else if (item.bottom > content.bottom)
        SetScrollPos(m_scrollY + (item.bottom - content.bottom));
}

void CListUI::SetPos(RECT rc, bool needInvalidate)
{
    CVerticalLayoutUI::SetPos(rc, needInvalidate);
    if (m_ensureVisible >= 0) {
        const int index = m_ensureVisible;
        m_ensureVisible = -1;
        EnsureVisible(index);
    }
}

void CListUI::DoEvent(TEventUI& event)
{
    if (event.Type == UIEVENT_KEYDOWN && IsEnabled()) {
        if (event.wParam == VK_UP && m_iCurSel > 0) {
            SelectItem(m_iCurSel - 1, true, true);
            return;
        }
        if (event.wParam == VK_DOWN && m_iCurSel + 1 < GetCount()) {
            SelectItem(m_iCurSel + 1, true, true);
            return;
        }
        if (event.wParam == VK_HOME && GetCount() > 0) {
            SelectItem(0, true, true);
            return;
        }
        if (event.wParam == VK_END && GetCount() > 0) {
            SelectItem(GetCount() - 1, true, true);
            return;
        }
        if (event.wParam == VK_RETURN && m_iCurSel >= 0) {
            GetItemAt(m_iCurSel)->Activate();
            return;
        }
    }
    CVerticalLayoutUI::DoEvent(event);
}

void CListUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (!m_ListInfo.SetAttribute(name, value))
        CVerticalLayoutUI::SetAttribute(name, value);
}
