#include "ui/button_ui.h"

#include "ui/container_ui.h"
#include "ui/paint_manager_ui.h"

CButtonUI::CButtonUI()
{
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

void* CButtonUI::GetInterface(std::wstring_view name)
{
    if (name == L"Button")
        return this;
    return CLabelUI::GetInterface(name);
}

UINT CButtonUI::GetControlFlags() const
{
    return IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0;
}

bool CButtonUI::Activate()
{
    if (!CControlUI::Activate())
        return false;
    if (m_pManager)
        m_pManager->SendNotify(this, L"click");
    BindTriggerTabSel();
    return true;
}

void CButtonUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!enabled)
        m_uButtonState = 0;
}

void CButtonUI::DoEvent(TEventUI& event)
{
    if (!IsMouseEnabled() && event.Type > UIEVENT__FIRST && event.Type < UIEVENT_KILLFOCUS) {
        if (m_pParent)
            m_pParent->DoEvent(event);
        return;
    }
    switch (event.Type) {
    case UIEVENT_KEYDOWN:
        if (event.chKey == L' ' || event.chKey == static_cast<wchar_t>(VK_RETURN)) {
            Activate();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (PtInRect(m_rcItem, event.ptMouse) && IsEnabled()) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            if (PtInRect(m_rcItem, event.ptMouse))
                m_uButtonState |= UISTATE_PUSHED;
            else
                m_uButtonState &= ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            const bool inside = PtInRect(m_rcItem, event.ptMouse);
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (inside)
                Activate();
        }
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::SetNormalImage(std::wstring_view image)
{
    m_sNormalImage = image;
    Invalidate();
}

void CButtonUI::SetHotImage(std::wstring_view image)
{
    m_sHotImage = image;
    Invalidate();
}

void CButtonUI::SetPushedImage(std::wstring_view image)
{
    m_sPushedImage = image;
    Invalidate();
}

void CButtonUI::SetDisabledImage(std::wstring_view image)
{
    m_sDisabledImage = image;
    Invalidate();
}

void CButtonUI::SetForeImage(std::wstring_view image)
{
    m_sForeImage = image;
    Invalidate();
}

void CButtonUI::BindTriggerTabSel(int index)
{
    if (!m_pManager || m_sBindTabLayoutName.empty())
        return;
    const int page = index >= 0 ? index : m_iBindTabIndex;
    if (page < 0)
        return;
    auto* tab = static_cast<CTabLayoutUI*>(
        m_pManager->FindControl(m_sBindTabLayoutName)
            ? m_pManager->FindControl(m_sBindTabLayoutName)->GetInterface(L"TabLayout")
            : nullptr);
    if (tab)
        tab->SelectItem(page);
}

void CButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"normalimage")
        SetNormalImage(value);
    else if (name == L"hotimage")
        SetHotImage(value);
    else if (name == L"pushedimage")
        SetPushedImage(value);
    else if (name == L"focusedimage")
        m_sFocusedImage = value;
    else if (name == L"disabledimage")
        SetDisabledImage(value);
    else if (name == L"foreimage")
        SetForeImage(value);
    else if (name == L"hotforeimage")
        m_sHotForeImage = value;
    else if (name == L"hotbkcolor")
        m_dwHotBkColor = parseColor(value);
    else if (name == L"pushedbkcolor")
        m_dwPushedBkColor = parseColor(value);
    else if (name == L"hottextcolor")
        m_dwHotTextColor = parseColor(value);
    else if (name == L"pushedtextcolor")
        m_dwPushedTextColor = parseColor(value);
    else if (name == L"bindtabindex")
        BindTabIndex(parseInt(value));
    else if (name == L"bindtablayoutname")
        BindTabLayoutName(value);
    else
        CLabelUI::SetAttribute(name, value);
}

void CButtonUI::PaintBkColor(ui::Canvas& canvas)
{
    if ((m_uButtonState & UISTATE_PUSHED) != 0 && (m_dwPushedBkColor >> 24) != 0)
        CRenderEngine::DrawColor(canvas, m_rcItem, m_dwPushedBkColor);
    else if ((m_uButtonState & UISTATE_HOT) != 0 && (m_dwHotBkColor >> 24) != 0)
        CRenderEngine::DrawColor(canvas, m_rcItem, m_dwHotBkColor);
    else
        CLabelUI::PaintBkColor(canvas);
}

void CButtonUI::PaintStatusImage(ui::Canvas& canvas)
{
    const CDuiString* image = &m_sNormalImage;
    if (!IsEnabled() && !m_sDisabledImage.empty())
        image = &m_sDisabledImage;
    else if ((m_uButtonState & UISTATE_PUSHED) != 0 && !m_sPushedImage.empty())
        image = &m_sPushedImage;
    else if ((m_uButtonState & UISTATE_HOT) != 0 && !m_sHotImage.empty())
        image = &m_sHotImage;
    else if (IsFocused() && !m_sFocusedImage.empty())
        image = &m_sFocusedImage;
    if (!image->empty())
        DrawImage(canvas, *image);
    if ((m_uButtonState & UISTATE_HOT) != 0 && !m_sHotForeImage.empty())
        DrawImage(canvas, m_sHotForeImage);
    else if (!m_sForeImage.empty())
        DrawImage(canvas, m_sForeImage);
}

DWORD CButtonUI::CurrentTextColor() const
{
    if (IsEnabled()) {
        if ((m_uButtonState & UISTATE_PUSHED) != 0 && m_dwPushedTextColor)
            return m_dwPushedTextColor;
        if ((m_uButtonState & UISTATE_HOT) != 0 && m_dwHotTextColor)
            return m_dwHotTextColor;
    }
    return CLabelUI::CurrentTextColor();
}

COptionUI::~COptionUI()
{
    if (m_pManager && !m_sGroupName.empty())
        m_pManager->RemoveOptionGroup(m_sGroupName, this);
}

void* COptionUI::GetInterface(std::wstring_view name)
{
    if (name == L"Option")
        return this;
    return CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init)
{
    if (m_pManager && m_pManager != manager && !m_sGroupName.empty())
        m_pManager->RemoveOptionGroup(m_sGroupName, this);
    CButtonUI::SetManager(manager, parent, init);
    if (init && m_pManager && !m_sGroupName.empty())
        m_pManager->AddOptionGroup(m_sGroupName, this);
}

bool COptionUI::Activate()
{
    if (!CButtonUI::Activate())
        return false;
    if (!m_sGroupName.empty())
        Selected(true);
    else
        Selected(!m_bSelected);
    return true;
}

void COptionUI::SetGroup(std::wstring_view group)
{
    if (m_sGroupName == group)
        return;
    if (m_pManager && !m_sGroupName.empty())
        m_pManager->RemoveOptionGroup(m_sGroupName, this);
    m_sGroupName = group;
    if (m_pManager && !m_sGroupName.empty())
        m_pManager->AddOptionGroup(m_sGroupName, this);
    Selected(m_bSelected, false);
}

void COptionUI::Selected(bool selected, bool triggerEvent)
{
    if (m_bSelected == selected)
        return;
    m_bSelected = selected;
    if (m_bSelected)
        m_uButtonState |= UISTATE_SELECTED;
    else
        m_uButtonState &= ~UISTATE_SELECTED;
    if (m_pManager) {
        if (!m_sGroupName.empty()) {
            // A grouped option notifies only when it becomes the selected one.
            if (m_bSelected) {
                for (CControlUI* other : m_pManager->GetOptionGroup(m_sGroupName)) {
                    if (other != this)
                        static_cast<COptionUI*>(other)->Selected(false, triggerEvent);
                }
                if (triggerEvent)
                    m_pManager->SendNotify(this, L"selectchanged");
            }
        } else if (triggerEvent) {
            m_pManager->SendNotify(this, L"selectchanged");
        }
        if (m_bSelected)
            BindTriggerTabSel();
    }
    Invalidate();
}

void COptionUI::SetSelectedImage(std::wstring_view image)
{
    m_sSelectedImage = image;
    Invalidate();
}

void COptionUI::SetSelectedBkColor(DWORD argb)
{
    m_dwSelectedBkColor = argb;
    Invalidate();
}

void COptionUI::SetSelectedTextColor(DWORD argb)
{
    m_dwSelectedTextColor = argb;
    Invalidate();
}

void COptionUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"group")
        SetGroup(value);
    else if (name == L"selected")
        Selected(parseBool(value), false);
    else if (name == L"selectedimage")
        SetSelectedImage(value);
    else if (name == L"selectedhotimage")
        SetSelectedHotImage(value);
    else if (name == L"selectedbkcolor")
        SetSelectedBkColor(parseColor(value));
    else if (name == L"selectedtextcolor")
        SetSelectedTextColor(parseColor(value));
    else
        CButtonUI::SetAttribute(name, value);
}

void COptionUI::PaintBkColor(ui::Canvas& canvas)
{
    if (m_bSelected && (m_dwSelectedBkColor >> 24) != 0)
        CRenderEngine::DrawColor(canvas, m_rcItem, m_dwSelectedBkColor);
    else
        CButtonUI::PaintBkColor(canvas);
}

void COptionUI::PaintStatusImage(ui::Canvas& canvas)
{
    if (m_bSelected) {
        if ((m_uButtonState & UISTATE_HOT) != 0 && !m_sSelectedHotImage.empty()) {
            DrawImage(canvas, m_sSelectedHotImage);
            return;
        }
        if (!m_sSelectedImage.empty()) {
            DrawImage(canvas, m_sSelectedImage);
            if (!m_sForeImage.empty())
                DrawImage(canvas, m_sForeImage);
            return;
        }
    }
    CButtonUI::PaintStatusImage(canvas);
}

DWORD COptionUI::CurrentTextColor() const
{
    if (m_bSelected && IsEnabled() && m_dwSelectedTextColor)
        return m_dwSelectedTextColor;
    return CButtonUI::CurrentTextColor();
}

void* CCheckBoxUI::GetInterface(std::wstring_view name)
{
    if (name == L"CheckBox")
        return this;
    return COptionUI::GetInterface(name);
}
