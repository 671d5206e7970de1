#include "ui/container_ui.h"

#include "platform/text.h"
#include "ui/paint_manager_ui.h"
#include "ui/scroll_bar.h"

#include <algorithm>

CContainerUI::~CContainerUI()
{
    // Children reap themselves from the manager in their own destructors.
    if (m_bAutoDestroy) {
        for (auto* item : m_items)
            delete item;
    }
    m_items.clear();
}

void* CContainerUI::GetInterface(std::wstring_view name)
{
    if (name == L"Container" || name == L"IContainer")
        return this;
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const
{
    const auto found = std::find(m_items.begin(), m_items.end(), control);
    return found == m_items.end() ? -1 : static_cast<int>(found - m_items.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index)
{
    const int current = GetItemIndex(control);
    if (current < 0 || index < 0 || index >= GetCount())
        return false;
    m_items.erase(m_items.begin() + current);
    m_items.insert(m_items.begin() + index, control);
    NeedUpdate();
    return true;
}

bool CContainerUI::Add(CControlUI* control)
{
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (!control || index < 0 || index > GetCount())
        return false;
    m_items.insert(m_items.begin() + index, control);
    if (m_pManager)
        control->SetManager(m_pManager, this, true);
    else
        control->SetManager(nullptr, this, false);
    control->SetInternVisible(IsVisible());
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control, bool doNotDestroy)
{
    const int index = GetItemIndex(control);
    return index >= 0 && RemoveAt(index, doNotDestroy);
}

bool CContainerUI::RemoveAt(int index, bool doNotDestroy)
{
    CControlUI* control = GetItemAt(index);
    if (!control)
        return false;
    m_items.erase(m_items.begin() + index);
    if (m_pManager)
        m_pManager->ReapObjects(control);
    if (doNotDestroy || !m_bAutoDestroy)
        control->SetManager(nullptr, nullptr, false);
    else
        delete control;
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll()
{
    auto items = std::move(m_items);
    m_items.clear();
    for (auto* item : items) {
        if (m_pManager)
            m_pManager->ReapObjects(item);
        if (m_bAutoDestroy)
            delete item;
        else
            item->SetManager(nullptr, nullptr, false);
    }
    m_scrollY = 0;
    NeedUpdate();
}

namespace {
CControlUI* findByName(CControlUI* control, void* data)
{
    const auto* name = static_cast<const std::wstring_view*>(data);
    return control->GetName() == *name ? control : nullptr;
}
CControlUI* findByNameNoCase(CControlUI* control, void* data)
{
    const auto* name = static_cast<const std::wstring_view*>(data);
    return platform::equalsIgnoreCase(control->GetName(), *name) ? control : nullptr;
}
} // namespace

CControlUI* CContainerUI::FindSubControl(std::wstring_view name)
{
    if (CControlUI* found = FindControl(findByName, &name, UIFIND_ALL))
        return found;
    return FindControl(findByNameNoCase, &name, UIFIND_ALL);
}

void CContainerUI::SetInset(RECT rc)
{
    m_rcInset = rc;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding)
{
    m_iChildPadding = padding;
    NeedUpdate();
}

void CContainerUI::SetChildAlign(UINT align)
{
    m_iChildAlign = align;
    NeedUpdate();
}

void CContainerUI::SetChildVAlign(UINT align)
{
    m_iChildVAlign = align;
    NeedUpdate();
}

void CContainerUI::SetScrollPos(int y)
{
    y = std::clamp(y, 0, GetScrollRange());
    if (y == m_scrollY)
        return;
    m_scrollY = y;
    SetPos(m_rcItem, true);
}

int CContainerUI::GetScrollRange() const
{
    const RECT content = ContentRect();
    return std::max(0, m_contentHeight - (content.bottom - content.top));
}

RECT CContainerUI::GetScrollTrackRect() const
{
    if (!m_bScrollEnabled || GetScrollRange() <= 0)
        return RECT{};
    const RECT content = ContentRect();
    return RECT{content.right - Scaled(10), content.top, content.right, content.bottom};
}

RECT CContainerUI::GetScrollThumbRect() const
{
    return ui::scrollThumbRect(GetScrollTrackRect(), m_contentHeight, m_scrollY, GetScrollRange(),
                               Scaled(16));
}

bool CContainerUI::HandleScrollBarEvent(TEventUI& event)
{
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK: {
        const RECT track = GetScrollTrackRect();
        if (!PtInRect(track, event.ptMouse))
            return false;
        const RECT thumb = GetScrollThumbRect();
        if (PtInRect(thumb, event.ptMouse)) {
            m_thumbGrab = event.ptMouse.y - thumb.top;
        } else {
            // A press on the track pages towards it, as scroll bars do.
            const int page = std::max(1, ContentRect().bottom - ContentRect().top);
            SetScrollPos(m_scrollY + (event.ptMouse.y < thumb.top ? -page : page));
        }
        return true;
    }
    case UIEVENT_MOUSEMOVE: {
        if (!m_thumbGrab)
            return false;
        const RECT track = GetScrollTrackRect();
        SetScrollPos(ui::scrollPositionForThumb(track, GetScrollThumbRect(), GetScrollRange(),
                                                event.ptMouse.y - *m_thumbGrab - track.top,
                                                m_scrollY));
        return true;
    }
    case UIEVENT_BUTTONUP:
        if (!m_thumbGrab)
            return false;
        m_thumbGrab.reset();
        Invalidate();
        return true;
    default:
        return false;
    }
}

void CContainerUI::SetVisible(bool visible)
{
    if (m_bVisible == visible)
        return;
    CControlUI::SetVisible(visible);
    for (auto* item : m_items)
        item->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible)
{
    CControlUI::SetInternVisible(visible);
    for (auto* item : m_items)
        item->SetInternVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
}

void CContainerUI::SetMouseEnabled(bool enabled)
{
    CControlUI::SetMouseEnabled(enabled);
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init)
{
    for (auto* item : m_items)
        item->SetManager(manager, this, init);
    CControlUI::SetManager(manager, parent, init);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) != 0 && !IsVisible())
        return nullptr;
    if ((flags & UIFIND_ENABLED) != 0 && !IsEnabled())
        return nullptr;
    if ((flags & UIFIND_HITTEST) != 0) {
        const POINT pt = *static_cast<POINT*>(data);
        if (!PtInRect(m_rcItem, pt))
            return nullptr;
        if (PtInRect(GetScrollTrackRect(), pt) && m_bMouseEnabled && IsEnabled())
            return proc(this, data);
        if (!m_bMouseChildEnabled)
            return m_bMouseEnabled ? proc(this, data) : nullptr;
    }
    if ((flags & UIFIND_ME_FIRST) != 0) {
        if (CControlUI* me = CControlUI::FindControl(proc, data, flags))
            return me;
    }
    if ((flags & UIFIND_HITTEST) != 0) {
        // The topmost child wins: later children paint over earlier ones.
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
            if (CControlUI* found = (*it)->FindControl(proc, data, flags))
                return found;
        }
    } else {
        for (auto* item : m_items) {
            if (CControlUI* found = item->FindControl(proc, data, flags))
                return found;
        }
    }
    if ((flags & UIFIND_ME_FIRST) == 0)
        return CControlUI::FindControl(proc, data, flags);
    return nullptr;
}

RECT CContainerUI::ContentRect() const
{
    RECT rc = m_rcItem;
    rc.left += Scaled(m_rcInset.left);
    rc.top += Scaled(m_rcInset.top);
    rc.right -= Scaled(m_rcInset.right);
    rc.bottom -= Scaled(m_rcInset.bottom);
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    return rc;
}

void CContainerUI::SetFloatPos(CControlUI* control, const RECT& content)
{
    const SIZE xy = control->GetFixedXY();
    const SIZE size =
        control->EstimateSize(SIZE{content.right - content.left, content.bottom - content.top});
    const int left = m_rcItem.left + Scaled(xy.cx);
    const int top = m_rcItem.top + Scaled(xy.cy);
    control->SetPos(RECT{left, top, left + size.cx, top + size.cy}, false);
}

void CContainerUI::SetPos(RECT rc, bool needInvalidate)
{
    CControlUI::SetPos(rc, needInvalidate);
    const RECT content = ContentRect();
    for (auto* item : m_items) {
        if (!item->IsVisible())
            continue;
        if (item->IsFloat()) {
            SetFloatPos(item, content);
            continue;
        }
        const RECT padding = item->GetPadding();
        RECT child{content.left + Scaled(padding.left), content.top + Scaled(padding.top),
                   content.right - Scaled(padding.right), content.bottom - Scaled(padding.bottom)};
        item->SetPos(child, false);
    }
}

void CContainerUI::DoEvent(TEventUI& event)
{
    if (IsEnabled() && HandleScrollBarEvent(event))
        return;
    if (event.Type == UIEVENT_SCROLLWHEEL && m_bScrollEnabled && GetScrollRange() > 0) {
        const int step = Scaled(30);
        SetScrollPos(m_scrollY + (static_cast<short>(HIWORD(event.wParam)) > 0 ? -step : step));
        return;
    }
    CControlUI::DoEvent(event);
}

void CContainerUI::DoPaint(ui::Canvas& canvas, const RECT& paint)
{
    RECT visible;
    if (!IntersectRect(visible, paint, m_rcItem))
        return;
    CControlUI::DoPaint(canvas, visible);
    const RECT content = ContentRect();
    RECT clip;
    if (!IntersectRect(clip, visible, content) && m_items.empty())
        return;
    canvas.pushClip(m_rcItem);
    auto first = m_items.begin();
    if (m_pManager && m_pManager->IsPaintedOver(*this)) {
        // What comes before the item holding the control drawn over its kept picture lies
        // under that picture.
        const CControlUI* holder = m_pManager->KeptPictureHolderIn(*this);
        first = holder ? std::find(m_items.begin(), m_items.end(), holder) : m_items.end();
    }
    for (auto it = first; it != m_items.end(); ++it) {
        CControlUI* item = *it;
        if (!item->IsVisible())
            continue;
        RECT itemVisible;
        if (!IntersectRect(itemVisible, visible, item->GetPos()))
            continue;
        item->DoPaint(canvas, itemVisible);
    }
    canvas.popClip();
    const RECT thumb = GetScrollThumbRect();
    if (thumb.bottom > thumb.top) {
        // A thin thumb shows where the visible part lies; it widens while it is dragged.
        const int width = m_thumbGrab ? Scaled(8) : Scaled(4);
        canvas.fillRect(RECT{thumb.right - width, thumb.top, thumb.right, thumb.bottom},
                        m_thumbGrab ? 0xC0A0A8B0 : 0x80A0A8B0);
    }
}

void CContainerUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"inset") {
        SetInset(parseRectAttribute(value));
    } else if (name == L"childpadding") {
        SetChildPadding(parseInt(value));
    } else if (name == L"childalign") {
        if (value == L"center")
            SetChildAlign(DT_CENTER);
        else if (value == L"right")
            SetChildAlign(DT_RIGHT);
        else
            SetChildAlign(DT_LEFT);
    } else if (name == L"childvalign") {
        if (value == L"vcenter" || value == L"center")
            SetChildVAlign(DT_VCENTER);
        else if (value == L"bottom")
            SetChildVAlign(DT_BOTTOM);
        else
            SetChildVAlign(DT_TOP);
    } else if (name == L"mousechild") {
        SetMouseChildEnabled(parseBool(value));
    } else if (name == L"vscrollbar") {
        m_bScrollEnabled = parseBool(value);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

namespace {

// One child's share of a stack: fixed length, or a stretch share of what is left.
struct Slot {
    CControlUI* control;
    SIZE estimate;
    bool stretch;
};

int clampLength(int length, int minimum, int maximum)
{
    return std::max(minimum, std::min(length, maximum));
}

// A stack's two directions: "main" runs along the stack, "cross" across it.
struct AxisView {
    bool vertical;

    int main(SIZE size) const { return vertical ? size.cy : size.cx; }
    int cross(SIZE size) const { return vertical ? size.cx : size.cy; }
    int mainBefore(const RECT& rc) const { return vertical ? rc.top : rc.left; }
    int mainAfter(const RECT& rc) const { return vertical ? rc.bottom : rc.right; }
    int crossBefore(const RECT& rc) const { return vertical ? rc.left : rc.top; }
    int crossAfter(const RECT& rc) const { return vertical ? rc.right : rc.bottom; }
    int mainMin(const CControlUI& c) const { return vertical ? c.GetMinHeight() : c.GetMinWidth(); }
    int mainMax(const CControlUI& c) const { return vertical ? c.GetMaxHeight() : c.GetMaxWidth(); }
    int crossMin(const CControlUI& c) const
    {
        return vertical ? c.GetMinWidth() : c.GetMinHeight();
    }
    int crossMax(const CControlUI& c) const
    {
        return vertical ? c.GetMaxWidth() : c.GetMaxHeight();
    }
    RECT rect(int mainPos, int crossPos, int mainLength, int crossLength) const
    {
        return vertical ? RECT{crossPos, mainPos, crossPos + crossLength, mainPos + mainLength}
                        : RECT{mainPos, crossPos, mainPos + mainLength, crossPos + crossLength};
    }
};

} // namespace

int CContainerUI::LayoutStack(StackAxis axis, const RECT& content, int offset)
{
    const AxisView view{axis == StackAxis::Vertical};
    const SIZE available{content.right - content.left, content.bottom - content.top};
    const int mainSpace = view.main(available);
    const int crossSpace = view.cross(available);
    // Along the stack, a vertical stack aligns by its vertical alignment, and across it by
    // its horizontal one; a horizontal stack the other way round.
    const bool verticalCentre = m_iChildVAlign == DT_VCENTER;
    const bool verticalEnd = m_iChildVAlign == DT_BOTTOM;
    const bool horizontalCentre = m_iChildAlign == DT_CENTER;
    const bool horizontalEnd = m_iChildAlign == DT_RIGHT;
    const bool mainCentre = view.vertical ? verticalCentre : horizontalCentre;
    const bool mainEnd = view.vertical ? verticalEnd : horizontalEnd;
    const bool crossCentre = view.vertical ? horizontalCentre : verticalCentre;
    const bool crossEnd = view.vertical ? horizontalEnd : verticalEnd;

    std::vector<Slot> slots;
    int fixedTotal = 0;
    int stretchCount = 0;
    for (auto* item : m_items) {
        if (!item->IsVisible())
            continue;
        if (item->IsFloat()) {
            SetFloatPos(item, content);
            continue;
        }
        const RECT padding = item->GetPadding();
        const SIZE estimate = item->EstimateSize(available);
        const bool stretch = view.main(estimate) == 0;
        if (stretch)
            ++stretchCount;
        else
            fixedTotal += view.main(estimate);
        fixedTotal += Scaled(view.mainBefore(padding)) + Scaled(view.mainAfter(padding));
        slots.push_back(Slot{item, estimate, stretch});
    }
    if (!slots.empty())
        fixedTotal += Scaled(m_iChildPadding) * static_cast<int>(slots.size() - 1);
    const int stretchLength =
        stretchCount > 0 ? std::max(0, mainSpace - fixedTotal) / stretchCount : 0;
    const int total = fixedTotal + stretchLength * stretchCount;

    int position = view.mainBefore(content) - offset;
    if (stretchCount == 0 && total < mainSpace) {
        if (mainCentre)
            position += (mainSpace - total) / 2;
        else if (mainEnd)
            position += mainSpace - total;
    }
    for (const auto& slot : slots) {
        const CControlUI& control = *slot.control;
        const RECT padding = control.GetPadding();
        position += Scaled(view.mainBefore(padding));
        const int mainLength = slot.stretch
                                   ? clampLength(stretchLength, Scaled(view.mainMin(control)),
                                                 Scaled(view.mainMax(control)))
                                   : view.main(slot.estimate);
        int crossLength = view.cross(slot.estimate);
        const int crossRoom =
            crossSpace - Scaled(view.crossBefore(padding)) - Scaled(view.crossAfter(padding));
        if (crossLength == 0 || crossLength > crossRoom)
            crossLength = crossRoom;
        crossLength = clampLength(crossLength, Scaled(view.crossMin(control)),
                                  Scaled(view.crossMax(control)));
        int crossPosition = view.crossBefore(content) + Scaled(view.crossBefore(padding));
        if (crossCentre)
            crossPosition = view.crossBefore(content) + (crossSpace - crossLength) / 2;
        else if (crossEnd)
            crossPosition =
                view.crossAfter(content) - Scaled(view.crossAfter(padding)) - crossLength;
        slot.control->SetPos(view.rect(position, crossPosition, mainLength, crossLength), false);
        position += mainLength + Scaled(view.mainAfter(padding)) + Scaled(m_iChildPadding);
    }
    return total;
}

void* CVerticalLayoutUI::GetInterface(std::wstring_view name)
{
    if (name == L"VerticalLayout")
        return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool needInvalidate)
{
    CControlUI::SetPos(rc, needInvalidate);
    m_contentHeight = LayoutStack(StackAxis::Vertical, ContentRect(), m_scrollY);
}

void* CHorizontalLayoutUI::GetInterface(std::wstring_view name)
{
    if (name == L"HorizontalLayout")
        return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool needInvalidate)
{
    CControlUI::SetPos(rc, needInvalidate);
    LayoutStack(StackAxis::Horizontal, ContentRect(), 0);
}

void* CTabLayoutUI::GetInterface(std::wstring_view name)
{
    if (name == L"TabLayout")
        return this;
    return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control)
{
    return AddAt(control, GetCount());
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index)
{
    if (!CContainerUI::AddAt(control, index))
        return false;
    if (m_iCurSel < 0) {
        m_iCurSel = index;
        control->SetVisible(true);
    } else {
        if (index <= m_iCurSel)
            ++m_iCurSel;
        control->SetVisible(false);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control, bool doNotDestroy)
{
    const int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control, doNotDestroy))
        return false;
    if (index == m_iCurSel) {
        m_iCurSel = -1;
        if (GetCount() > 0)
            SelectItem(std::min(index, GetCount() - 1));
    } else if (index < m_iCurSel) {
        --m_iCurSel;
    }
    return true;
}

void CTabLayoutUI::RemoveAll()
{
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int index)
{
    if (index < 0 || index >= GetCount())
        return false;
    if (index == m_iCurSel && GetItemAt(index)->IsVisible())
        return true;
    m_iCurSel = index;
    for (int i = 0; i < GetCount(); ++i)
        GetItemAt(i)->SetVisible(i == index);
    NeedParentUpdate();
    NeedUpdate();
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control)
{
    return SelectItem(GetItemIndex(control));
}

void CTabLayoutUI::SetPos(RECT rc, bool needInvalidate)
{
    CControlUI::SetPos(rc, needInvalidate);
    const RECT content = ContentRect();
    for (auto* item : m_items) {
        if (!item->IsVisible())
            continue;
        if (item->IsFloat()) {
            SetFloatPos(item, content);
            continue;
        }
        const RECT padding = item->GetPadding();
        item->SetPos(RECT{content.left + Scaled(padding.left), content.top + Scaled(padding.top),
                          content.right - Scaled(padding.right),
                          content.bottom - Scaled(padding.bottom)},
                     false);
    }
}

void CTabLayoutUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"selectedid")
        SelectItem(parseInt(value));
    else
        CContainerUI::SetAttribute(name, value);
}
