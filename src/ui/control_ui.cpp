#include "ui/control_ui.h"

#include "platform/hex.h"
#include "platform/text.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"

#include <cmath>
#include <cwctype>
#include <limits>

DWORD parseColor(std::wstring_view text)
{
    while (!text.empty() && std::iswspace(text.front()))
        text.remove_prefix(1);
    int base = 10;
    bool shortForm = false;
    if (!text.empty() && text.front() == L'#') {
        text.remove_prefix(1);
        base = 16;
        shortForm = text.size() == 6;
    } else if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        const auto digit = platform::hexDigit(c);
        if (!digit || *digit >= static_cast<unsigned>(base))
            break;
        value = value * base + *digit;
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    auto color = static_cast<DWORD>(value);
    if (shortForm)
        color |= 0xFF000000u;
    return color;
}

int parseInt(std::wstring_view text)
{
    while (!text.empty() && std::iswspace(text.front()))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    long long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        value = value * 10 + (c - L'0');
        // Saturate: skin numbers never come near, hostile ones must not overflow.
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return static_cast<int>(negative ? -value : value);
}

RECT parseRectAttribute(std::wstring_view text)
{
    int values[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && !text.empty(); ++i) {
        values[i] = parseInt(text);
        const auto comma = text.find(L',');
        if (comma == std::wstring_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return RECT{values[0], values[1], values[2], values[3]};
}

SIZE parseSizeAttribute(std::wstring_view text)
{
    const RECT rc = parseRectAttribute(text);
    return SIZE{rc.left, rc.top};
}

bool parseBool(std::wstring_view text)
{
    return platform::equalsIgnoreCase(text, L"true") || text == L"1";
}

CControlUI::CControlUI() = default;

CControlUI::~CControlUI()
{
    if (m_pManager)
        m_pManager->ReapObjects(this);
}

void* CControlUI::GetInterface(std::wstring_view name)
{
    if (name == L"Control")
        return this;
    return nullptr;
}

bool CControlUI::Activate()
{
    return IsVisible() && IsEnabled();
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init)
{
    m_pManager = manager;
    m_pParent = parent;
    if (init && m_pParent)
        Init();
}

CDuiString CControlUI::GetText() const
{
    if (m_bResourceText)
        return CResourceManager::GetInstance()->GetText(m_sText);
    return m_sText;
}

void CControlUI::SetText(std::wstring_view text)
{
    if (m_sText == text)
        return;
    m_sText = text;
    Invalidate();
}

void CControlUI::SetResourceText(bool resource)
{
    if (m_bResourceText == resource)
        return;
    m_bResourceText = resource;
    Invalidate();
}

void CControlUI::SetBkColor(DWORD argb)
{
    if (m_dwBackColor == argb)
        return;
    m_dwBackColor = argb;
    Invalidate();
}

void CControlUI::SetBkImage(std::wstring_view image)
{
    if (m_sBkImage == image)
        return;
    m_sBkImage = image;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb)
{
    m_dwBorderColor = argb;
    Invalidate();
}

void CControlUI::SetBorderSize(int size)
{
    m_nBorderSize = size < 0 ? 0 : size;
    Invalidate();
}

void CControlUI::SetPos(RECT rc, bool needInvalidate)
{
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    if (needInvalidate && !(rc == m_rcItem))
        Invalidate();
    m_rcItem = rc;
    m_bUpdateNeeded = false;
    if (needInvalidate)
        Invalidate();
}

void CControlUI::SetPadding(RECT rc)
{
    m_rcPadding = rc;
    NeedParentUpdate();
}

void CControlUI::SetFixedXY(SIZE xy)
{
    m_cXY = xy;
    if (m_bFloat)
        NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx)
{
    if (cx < 0)
        return;
    m_cxyFixed.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy)
{
    if (cy < 0)
        return;
    m_cxyFixed.cy = cy;
    NeedParentUpdate();
}

void CControlUI::SetMinWidth(int cx)
{
    m_cxyMin.cx = cx < 0 ? 0 : cx;
    NeedParentUpdate();
}

void CControlUI::SetMaxWidth(int cx)
{
    m_cxyMax.cx = cx < 0 ? 0 : cx;
    NeedParentUpdate();
}

void CControlUI::SetMinHeight(int cy)
{
    m_cxyMin.cy = cy < 0 ? 0 : cy;
    NeedParentUpdate();
}

void CControlUI::SetMaxHeight(int cy)
{
    m_cxyMax.cy = cy < 0 ? 0 : cy;
    NeedParentUpdate();
}

CDuiString CControlUI::GetToolTip() const
{
    if (m_bResourceText)
        return CResourceManager::GetInstance()->GetText(m_sToolTip);
    return m_sToolTip;
}

CDuiString CControlUI::GetToolTipTitle() const
{
    if (m_bResourceText)
        return CResourceManager::GetInstance()->GetText(m_sToolTipTitle);
    return m_sToolTipTitle;
}

CDuiString CControlUI::GetVirtualWnd() const
{
    if (!m_sVirtualWnd.empty())
        return m_sVirtualWnd;
    return m_pParent ? m_pParent->GetVirtualWnd() : CDuiString();
}

void CControlUI::SetVisible(bool visible)
{
    if (m_bVisible == visible)
        return;
    const bool wasVisible = IsVisible();
    m_bVisible = visible;
    if (m_bFocused && !visible && m_pManager)
        m_pManager->SetFocus(nullptr);
    if (IsVisible() != wasVisible)
        NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible)
{
    m_bInternVisible = visible;
    if (!visible && m_pManager && m_pManager->GetFocus() == this)
        m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enabled)
{
    if (m_bEnabled == enabled)
        return;
    m_bEnabled = enabled;
    Invalidate();
}

void CControlUI::SetFocus()
{
    if (m_pManager)
        m_pManager->SetFocus(this);
}

void CControlUI::SetFloat(bool isFloat)
{
    if (m_bFloat == isFloat)
        return;
    m_bFloat = isFloat;
    NeedParentUpdate();
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) != 0 && !IsVisible())
        return nullptr;
    if ((flags & UIFIND_ENABLED) != 0 && !IsEnabled())
        return nullptr;
    if ((flags & UIFIND_HITTEST) != 0 &&
        (!m_bMouseEnabled || !PtInRect(m_rcItem, *static_cast<POINT*>(data))))
        return nullptr;
    return proc(this, data);
}

void CControlUI::Invalidate()
{
    if (m_pManager && IsVisible())
        m_pManager->Invalidate(m_rcItem);
}

void CControlUI::NeedUpdate()
{
    if (!IsVisible())
        return;
    m_bUpdateNeeded = true;
    Invalidate();
    if (m_pManager)
        m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate()
{
    if (m_pParent) {
        m_pParent->NeedUpdate();
        m_pParent->Invalidate();
    } else {
        NeedUpdate();
    }
    if (m_pManager)
        m_pManager->NeedUpdate();
}

void CControlUI::Init()
{
    DoInit();
}

void CControlUI::Event(TEventUI& event)
{
    DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event)
{
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
        m_bFocused = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_bFocused = false;
        Invalidate();
        return;
    case UIEVENT_TIMER:
        if (m_pManager)
            m_pManager->SendNotify(this, L"timer", event.wParam, event.lParam);
        return;
    default:
        break;
    }
    // Unhandled input bubbles to the parent, so a click on a label inside a list row
    // selects the row.
    if (m_pParent)
        m_pParent->DoEvent(event);
}

void CControlUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"name") {
        SetName(value);
    } else if (name == L"text") {
        SetText(value);
    } else if (name == L"resourcetext") {
        SetResourceText(parseBool(value));
    } else if (name == L"tooltip") {
        SetToolTip(value);
    } else if (name == L"tooltiptitle") {
        SetToolTipTitle(value);
    } else if (name == L"userdata") {
        SetUserData(value);
    } else if (name == L"virtualwnd") {
        SetVirtualWnd(value);
    } else if (name == L"visible") {
        SetVisible(parseBool(value));
    } else if (name == L"enabled") {
        SetEnabled(parseBool(value));
    } else if (name == L"mouse") {
        SetMouseEnabled(parseBool(value));
    } else if (name == L"keyboard") {
        SetKeyboardEnabled(parseBool(value));
    } else if (name == L"float") {
        SetFloat(parseBool(value));
    } else if (name == L"pos") {
        const RECT rc = parseRectAttribute(value);
        m_rcFloat = rc;
        SetFixedXY(SIZE{rc.left, rc.top});
        SetFixedWidth(rc.right - rc.left);
        SetFixedHeight(rc.bottom - rc.top);
    } else if (name == L"padding") {
        SetPadding(parseRectAttribute(value));
    } else if (name == L"width") {
        SetFixedWidth(parseInt(value));
    } else if (name == L"height") {
        SetFixedHeight(parseInt(value));
    } else if (name == L"minwidth") {
        SetMinWidth(parseInt(value));
    } else if (name == L"maxwidth") {
        SetMaxWidth(parseInt(value));
    } else if (name == L"minheight") {
        SetMinHeight(parseInt(value));
    } else if (name == L"maxheight") {
        SetMaxHeight(parseInt(value));
    } else if (name == L"bkcolor" || name == L"bkcolor1") {
        SetBkColor(parseColor(value));
    } else if (name == L"bordercolor") {
        SetBorderColor(parseColor(value));
    } else if (name == L"bordersize") {
        SetBorderSize(parseInt(value));
    } else if (name == L"bkimage") {
        SetBkImage(value);
    } else if (name == L"style") {
        if (m_pManager) {
            const CDuiString style = m_pManager->GetStyle(value);
            if (!style.empty())
                ApplyAttributeList(style);
        }
    }
}

void CControlUI::ApplyAttributeList(std::wstring_view list)
{
    std::size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && std::iswspace(list[at]))
            ++at;
        const auto equals = list.find(L'=', at);
        if (equals == std::wstring_view::npos)
            return;
        std::wstring_view name = list.substr(at, equals - at);
        while (!name.empty() && std::iswspace(name.back()))
            name.remove_suffix(1);
        auto open = equals + 1;
        while (open < list.size() && std::iswspace(list[open]))
            ++open;
        if (open >= list.size() || (list[open] != L'"' && list[open] != L'\''))
            return;
        const auto close = list.find(list[open], open + 1);
        if (close == std::wstring_view::npos)
            return;
        SetAttribute(name, list.substr(open + 1, close - open - 1));
        at = close + 1;
    }
}

SIZE CControlUI::EstimateSize(SIZE)
{
    return SIZE{Scaled(m_cxyFixed.cx), Scaled(m_cxyFixed.cy)};
}

void CControlUI::DoPaint(ui::Canvas& canvas, const RECT& paint)
{
    RECT visible;
    if (!IntersectRect(visible, paint, m_rcItem))
        return;
    // A control drawn over its kept picture lies above this one here: the picture holds it.
    if (m_pManager && m_pManager->IsPaintedOver(*this))
        return;
    PaintBkColor(canvas);
    PaintBkImage(canvas);
    PaintStatusImage(canvas);
    PaintText(canvas);
    PaintBorder(canvas);
}

void CControlUI::PaintBkColor(ui::Canvas& canvas)
{
    CRenderEngine::DrawColor(canvas, m_rcItem, m_dwBackColor);
}

void CControlUI::PaintBkImage(ui::Canvas& canvas)
{
    if (!m_sBkImage.empty())
        DrawImage(canvas, m_sBkImage);
}

void CControlUI::PaintStatusImage(ui::Canvas&) {}

void CControlUI::PaintText(ui::Canvas&) {}

void CControlUI::PaintBorder(ui::Canvas& canvas)
{
    if (m_nBorderSize > 0)
        CRenderEngine::DrawRect(canvas, m_rcItem, Scaled(m_nBorderSize), m_dwBorderColor);
}

bool CControlUI::DrawImage(ui::Canvas& canvas, std::wstring_view image)
{
    auto parsed = ui::parseImageString(image);
    if (!parsed)
        return false;
    RECT rc = m_rcItem;
    if (parsed->dest) {
        const RECT dest = ScaledRect(*parsed->dest);
        rc = RECT{m_rcItem.left + dest.left, m_rcItem.top + dest.top, m_rcItem.left + dest.right,
                  m_rcItem.top + dest.bottom};
        parsed->dest.reset();
    }
    return canvas.drawImage(rc, *parsed, m_pManager ? m_pManager->GetScale() : 1.0);
}

int CControlUI::Scaled(int value) const
{
    return m_pManager ? m_pManager->Scale(value) : value;
}

RECT CControlUI::ScaledRect(const RECT& rc) const
{
    return RECT{Scaled(rc.left), Scaled(rc.top), Scaled(rc.right), Scaled(rc.bottom)};
}
