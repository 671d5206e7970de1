#include "ui/edit_ui.h"

#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "ui/window_backend.h"

#include <algorithm>
#include <cwctype>
#include <string>

CEditUI::CEditUI()
{
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER;
    m_rcTextPadding = RECT{4, 3, 4, 3};
    m_dwBackColor = 0xFFFFFFFF;
}

void* CEditUI::GetInterface(std::wstring_view name)
{
    if (name == L"Edit")
        return this;
    return CLabelUI::GetInterface(name);
}

UINT CEditUI::GetControlFlags() const
{
    return IsEnabled() ? UIFLAG_TABSTOP : 0;
}

void CEditUI::SetText(std::wstring_view text)
{
    std::wstring limited(text.substr(0, static_cast<std::size_t>(std::max(0, m_iMaxChar))));
    CLabelUI::SetText(limited);
    m_caret = static_cast<int>(m_sText.size());
    m_selStart = m_caret;
}

void CEditUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (!enabled && m_pManager && m_pManager->GetFocus() == this)
        m_pManager->SetFocus(nullptr);
}

void CEditUI::SetMaxChar(int max)
{
    m_iMaxChar = std::max(0, max);
    if (static_cast<int>(m_sText.size()) > m_iMaxChar)
        SetText(m_sText);
}

void CEditUI::SetNumberOnly(bool numberOnly)
{
    m_bNumberOnly = numberOnly;
}

void CEditUI::SetReadOnly(bool readOnly)
{
    m_bReadOnly = readOnly;
    Invalidate();
}

void CEditUI::SetPasswordMode(bool password)
{
    m_bPasswordMode = password;
    Invalidate();
}

CDuiString CEditUI::GetTipValue() const
{
    if (m_bResourceText)
        return CResourceManager::GetInstance()->GetText(m_sTipValue);
    return m_sTipValue;
}

void CEditUI::SetTipValue(std::wstring_view tip)
{
    m_sTipValue = tip;
    Invalidate();
}

void CEditUI::SetSel(int start, int end)
{
    const int length = static_cast<int>(m_sText.size());
    if (end < 0 || end > length)
        end = length;
    start = std::clamp(start < 0 ? length : start, 0, length);
    m_selStart = start;
    m_caret = end;
    Invalidate();
}

bool CEditUI::AcceptsChar(wchar_t c) const
{
    if (c < 0x20 || c == 0x7F)
        return false;
    return !m_bNumberOnly || (c >= L'0' && c <= L'9');
}

bool CEditUI::DeleteSelection()
{
    if (m_selStart == m_caret)
        return false;
    const int from = std::min(m_selStart, m_caret);
    const int to = std::max(m_selStart, m_caret);
    m_sText.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    m_caret = m_selStart = from;
    return true;
}

void CEditUI::InsertText(std::wstring_view text)
{
    std::wstring accepted;
    for (const wchar_t c : text) {
        if (AcceptsChar(c) || (c == L'\n' && (m_uTextStyle & DT_SINGLELINE) == 0))
            accepted.push_back(c);
    }
    const bool deleted = DeleteSelection();
    const int room = m_iMaxChar - static_cast<int>(m_sText.size());
    if (room < static_cast<int>(accepted.size()))
        accepted.resize(static_cast<std::size_t>(std::max(0, room)));
    if (accepted.empty() && !deleted)
        return;
    m_sText.insert(static_cast<std::size_t>(m_caret), accepted);
    m_caret += static_cast<int>(accepted.size());
    m_selStart = m_caret;
    TextChangedByUser();
}

void CEditUI::TextChangedByUser()
{
    Invalidate();
    if (m_pManager)
        m_pManager->SendNotify(this, L"textchanged");
}

void CEditUI::ApplyRange()
{
    if (!m_bNumberOnly || (!m_minValue && !m_maxValue))
        return;
    long long value = m_minValue.value_or(0);
    if (!m_sText.empty()) {
        value = 0;
        for (const wchar_t c : m_sText) {
            value = value * 10 + (c - L'0');
            if (value > 0x7FFFFFFF)
                break;
        }
    }
    if (m_minValue)
        value = std::max<long long>(value, *m_minValue);
    if (m_maxValue)
        value = std::min<long long>(value, *m_maxValue);
    const std::wstring clamped = std::to_wstring(value);
    if (clamped != m_sText) {
        m_sText = clamped;
        m_caret = m_selStart = static_cast<int>(m_sText.size());
        TextChangedByUser();
    }
}

void CEditUI::DoEvent(TEventUI& event)
{
    if (!IsMouseEnabled() && event.Type > UIEVENT__FIRST && event.Type < UIEVENT_KILLFOCUS) {
        if (m_pParent)
            m_pParent->DoEvent(event);
        return;
    }
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
        m_bFocused = true;
        m_freshFocus = true;
        SetSelAll();
        ui::windowBackend().setTextInput(m_pManager ? m_pManager->GetPaintWindow() : nullptr, true);
        if (m_pManager)
            m_pManager->SendNotify(this, L"setfocus");
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_bFocused = false;
        ApplyRange();
        ui::windowBackend().setTextInput(m_pManager ? m_pManager->GetPaintWindow() : nullptr,
                                         false);
        if (m_pManager)
            m_pManager->SendNotify(this, L"killfocus");
        Invalidate();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        // The paint manager focuses the control before the press arrives, so a fresh
        // focus keeps the whole text selected and typing replaces it.
        if (IsEnabled() && m_pManager && !IsFocused())
            m_pManager->SetFocus(this);
        else if (IsEnabled() && event.Type == UIEVENT_BUTTONDOWN && !m_freshFocus)
            PlaceCaretAt(event.ptMouse);
        m_freshFocus = false;
        return;
    case UIEVENT_MOUSEENTER:
        m_hot = true;
        Invalidate();
        return;
    case UIEVENT_MOUSELEAVE:
        m_hot = false;
        Invalidate();
        return;
    case UIEVENT_CHAR:
        m_freshFocus = false;
        if (IsEnabled() && !m_bReadOnly)
            InsertText(std::wstring_view(&event.chKey, 1));
        return;
    case UIEVENT_KEYDOWN: {
        if (!IsEnabled())
            return;
        const int length = static_cast<int>(m_sText.size());
        if ((event.wKeyState & MK_CONTROL) != 0) {
            HandleClipboardKey(event.wParam);
            return;
        }
        switch (event.wParam) {
        case VK_BACK:
            if (m_bReadOnly)
                return;
            if (!DeleteSelection() && m_caret > 0) {
                m_sText.erase(static_cast<std::size_t>(m_caret - 1), 1);
                m_selStart = --m_caret;
            } else if (m_selStart == m_caret && m_caret == 0) {
                return;
            }
            TextChangedByUser();
            return;
        case VK_DELETE:
            if (m_bReadOnly)
                return;
            if (!DeleteSelection() && m_caret < length)
                m_sText.erase(static_cast<std::size_t>(m_caret), 1);
            else if (m_selStart == m_caret)
                return;
            TextChangedByUser();
            return;
        case VK_LEFT:
            SetSel(std::max(0, m_caret - 1), std::max(0, m_caret - 1));
            return;
        case VK_RIGHT:
            SetSel(std::min(length, m_caret + 1), std::min(length, m_caret + 1));
            return;
        case VK_HOME:
            SetSel(0, 0);
            return;
        case VK_RETURN:
            // Enter commits the typed value as leaving the field does.
            ApplyRange();
            if (m_pManager)
                m_pManager->SendNotify(this, L"return");
            return;
        case VK_END:
            SetSel(-1, -1);
            return;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::PlaceCaretAt(POINT pt)
{
    // The caret goes before the first character whose middle lies right of the click.
    if (!m_pManager || !m_pManager->GetCanvas() || m_bPasswordMode)
        return SetSel(-1, -1);
    ui::Canvas& canvas = *m_pManager->GetCanvas();
    const ui::FontStyle& font = m_pManager->GetFont(m_iFont);
    const double scale = m_pManager->GetScale();
    const int left = m_rcItem.left + Scaled(m_rcTextPadding.left);
    int previous = 0;
    for (int i = 1; i <= static_cast<int>(m_sText.size()); ++i) {
        const int width =
            canvas.measureText(std::wstring_view(m_sText).substr(0, i), font, scale, 0).cx;
        if (left + (previous + width) / 2 > pt.x)
            return SetSel(i - 1, i - 1);
        previous = width;
    }
    SetSel(-1, -1);
}

void CEditUI::HandleClipboardKey(WPARAM key)
{
    const int from = std::min(m_selStart, m_caret);
    const int to = std::max(m_selStart, m_caret);
    const std::wstring selected =
        m_sText.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    switch (key) {
    case 'A':
        SetSelAll();
        return;
    case 'C':
        if (!selected.empty() && !m_bPasswordMode)
            ui::windowBackend().setClipboardText(selected);
        return;
    case 'X':
        if (selected.empty() || m_bPasswordMode || m_bReadOnly)
            return;
        ui::windowBackend().setClipboardText(selected);
        DeleteSelection();
        TextChangedByUser();
        return;
    case 'V':
        // Pasted text passes the same filters as typing: digits only, length limit.
        if (!m_bReadOnly)
            InsertText(ui::windowBackend().clipboardText());
        return;
    default:
        return;
    }
}

void CEditUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"maxchar")
        SetMaxChar(parseInt(value));
    else if (name == L"numberonly")
        SetNumberOnly(parseBool(value));
    else if (name == L"readonly")
        SetReadOnly(parseBool(value));
    else if (name == L"password")
        SetPasswordMode(parseBool(value));
    else if (name == L"minvalue")
        SetMinValue(parseInt(value));
    else if (name == L"maxvalue")
        SetMaxValue(parseInt(value));
    else if (name == L"tipvalue")
        SetTipValue(value);
    else if (name == L"tipvaluecolor")
        SetTipValueColor(parseColor(value));
    else if (name == L"normalimage")
        m_sNormalImage = value;
    else if (name == L"hotimage")
        m_sHotImage = value;
    else if (name == L"focusedimage")
        m_sFocusedImage = value;
    else if (name == L"disabledimage")
        m_sDisabledImage = value;
    else if (name == L"focusbkcolor")
        m_dwFocusBkColor = parseColor(value);
    else
        CLabelUI::SetAttribute(name, value);
}

void CEditUI::PaintStatusImage(ui::Canvas& canvas)
{
    if (IsFocused() && (m_dwFocusBkColor >> 24) != 0)
        CRenderEngine::DrawColor(canvas, m_rcItem, m_dwFocusBkColor);
    const CDuiString* image = &m_sNormalImage;
    if (!IsEnabled() && !m_sDisabledImage.empty())
        image = &m_sDisabledImage;
    else if (IsFocused() && !m_sFocusedImage.empty())
        image = &m_sFocusedImage;
    else if (m_hot && !m_sHotImage.empty())
        image = &m_sHotImage;
    if (!image->empty())
        DrawImage(canvas, *image);
}

void CEditUI::PaintText(ui::Canvas& canvas)
{
    if (!m_pManager)
        return;
    const RECT padding = ScaledRect(m_rcTextPadding);
    const RECT rc{m_rcItem.left + padding.left, m_rcItem.top + padding.top,
                  m_rcItem.right - padding.right, m_rcItem.bottom - padding.bottom};
    const ui::FontStyle& font = m_pManager->GetFont(m_iFont);
    const double scale = m_pManager->GetScale();
    std::wstring shown = m_bResourceText ? std::wstring(GetText()) : std::wstring(m_sText);
    if (m_bPasswordMode)
        shown.assign(shown.size(), L'*');
    if (shown.empty() && !IsFocused()) {
        const CDuiString tip = GetTipValue();
        if (!tip.empty())
            canvas.drawText(rc, tip, font, scale, m_dwTipValueColor, m_uTextStyle);
        return;
    }
    if (IsFocused() && m_selStart != m_caret) {
        const int from = std::min(m_selStart, m_caret);
        const int to = std::max(m_selStart, m_caret);
        const SIZE before =
            canvas.measureText(std::wstring_view(shown).substr(0, from), font, scale, 0);
        const SIZE upTo =
            canvas.measureText(std::wstring_view(shown).substr(0, to), font, scale, 0);
        canvas.fillRect(RECT{rc.left + before.cx, rc.top, rc.left + upTo.cx, rc.bottom},
                        0xFF99C9EF);
    }
    canvas.drawText(rc, shown, font, scale, CurrentTextColor(), m_uTextStyle);
    if (IsFocused() && IsEnabled() && (m_uTextStyle & DT_SINGLELINE) != 0) {
        const SIZE before = canvas.measureText(
            std::wstring_view(shown).substr(0, static_cast<std::size_t>(m_caret)), font, scale, 0);
        const int x = std::min(rc.left + before.cx, rc.right - 1);
        canvas.fillRect(RECT{x, rc.top + 1, x + 1, rc.bottom - 1}, CurrentTextColor());
    }
}

CRichEditUI::CRichEditUI()
{
    m_uTextStyle = DT_WORDBREAK;
}

void* CRichEditUI::GetInterface(std::wstring_view name)
{
    if (name == L"RichEdit")
        return this;
    return CEditUI::GetInterface(name);
}

void CRichEditUI::DoEvent(TEventUI& event)
{
    if (event.Type == UIEVENT_KEYDOWN && event.wParam == VK_RETURN && IsEnabled() && !m_bReadOnly) {
        InsertText(L"\n");
        return;
    }
    CEditUI::DoEvent(event);
}
