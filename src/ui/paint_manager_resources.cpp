#include "ui/paint_manager_ui.h"

#include "platform/message_queue.h"
#include "platform/text.h"
#include "ui/paint_manager_shared.h"
#include "ui/window_backend.h"

#include <algorithm>
#include <array>

// What a window's controls draw with: DPI, fonts, named styles, default attributes and
// option groups, each either the window's own or shared by the process.

using ui::detail::process;

namespace {
const ui::FontStyle kBuiltinDefaultFont{L"Noto Sans", 12, false, false, false};
} // namespace

namespace ui {
bool isAllowedDpi(int dpi)
{
    constexpr std::array allowed{48, 72, 96, 120, 144, 168, 192};
    return std::find(allowed.begin(), allowed.end(), dpi) != allowed.end();
}
} // namespace ui

int CPaintManagerUI::Scale(int value) const
{
    if (m_dpi == 96)
        return value;
    return static_cast<int>((static_cast<long long>(value) * m_dpi + (value >= 0 ? 48 : -48)) / 96);
}

void CPaintManagerUI::SetDPI(int dpi)
{
    if (dpi <= 0 || dpi == m_dpi)
        return;
    const int old = m_dpi;
    m_dpi = dpi;
    if (m_hWndPaint)
        ui::rescaleWindow(m_hWndPaint, old, dpi);
    ui::resetRenderCaches();
    NeedUpdate();
    if (m_pRoot)
        m_pRoot->NeedUpdate();
    if (m_hWndPaint)
        platform::postMessage(m_hWndPaint, UIMSG_SET_DPI, static_cast<WPARAM>(dpi), 0);
}

void CPaintManagerUI::ResetDPIAssets()
{
    ui::resetRenderCaches();
    NeedUpdate();
}

void CPaintManagerUI::RemoveAllFonts(bool shared)
{
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedFonts.clear();
        process().sharedDefaultFont.reset();
    } else {
        m_fonts.clear();
        m_hasDefaultFont = false;
    }
    Invalidate();
}

bool CPaintManagerUI::AddFont(int id, std::wstring_view face, int size, bool bold, bool underline,
                              bool italic, bool shared)
{
    ui::FontStyle font{std::wstring(face), size > 0 ? size : 12, bold, underline, italic};
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedFonts[id] = font;
    } else {
        m_fonts[id] = font;
    }
    Invalidate();
    return true;
}

void CPaintManagerUI::SetDefaultFont(std::wstring_view face, int size, bool bold, bool underline,
                                     bool italic, bool shared)
{
    ui::FontStyle font{std::wstring(face), size > 0 ? size : 12, bold, underline, italic};
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedDefaultFont = font;
    } else {
        m_defaultFont = font;
        m_hasDefaultFont = true;
    }
    Invalidate();
}

const ui::FontStyle& CPaintManagerUI::GetFont(int id) const
{
    if (id >= 0) {
        if (const auto found = m_fonts.find(id); found != m_fonts.end())
            return found->second;
        std::lock_guard guard(process().lock);
        if (const auto found = process().sharedFonts.find(id); found != process().sharedFonts.end())
            return found->second;
    }
    return GetDefaultFontInfo();
}

const ui::FontStyle& CPaintManagerUI::GetDefaultFontInfo() const
{
    if (m_hasDefaultFont)
        return m_defaultFont;
    std::lock_guard guard(process().lock);
    if (process().sharedDefaultFont)
        return *process().sharedDefaultFont;
    return kBuiltinDefaultFont;
}

void CPaintManagerUI::AddStyle(std::wstring_view name, std::wstring_view value, bool shared)
{
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedStyles[std::wstring(name)] = value;
    } else {
        m_styles[std::wstring(name)] = value;
    }
}

CDuiString CPaintManagerUI::GetStyle(std::wstring_view name) const
{
    if (const auto found = m_styles.find(std::wstring(name)); found != m_styles.end())
        return found->second;
    std::lock_guard guard(process().lock);
    if (const auto found = process().sharedStyles.find(std::wstring(name));
        found != process().sharedStyles.end())
        return found->second;
    return CDuiString();
}

void CPaintManagerUI::AddDefaultAttributeList(std::wstring_view controlClass,
                                              std::wstring_view list, bool shared)
{
    const std::wstring key = platform::toLower(controlClass);
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedDefaultAttributes[key] = list;
    } else {
        m_defaultAttributes[key] = list;
    }
}

CDuiString CPaintManagerUI::GetDefaultAttributeList(std::wstring_view controlClass) const
{
    const std::wstring key = platform::toLower(controlClass);
    if (const auto found = m_defaultAttributes.find(key); found != m_defaultAttributes.end())
        return found->second;
    std::lock_guard guard(process().lock);
    if (const auto found = process().sharedDefaultAttributes.find(key);
        found != process().sharedDefaultAttributes.end())
        return found->second;
    return CDuiString();
}

bool CPaintManagerUI::AddOptionGroup(std::wstring_view group, CControlUI* control)
{
    auto& members = m_optionGroups[std::wstring(group)];
    if (std::find(members.begin(), members.end(), control) != members.end())
        return false;
    members.push_back(control);
    return true;
}

std::vector<CControlUI*> CPaintManagerUI::GetOptionGroup(std::wstring_view group) const
{
    const auto found = m_optionGroups.find(std::wstring(group));
    return found == m_optionGroups.end() ? std::vector<CControlUI*>{} : found->second;
}

void CPaintManagerUI::RemoveOptionGroup(std::wstring_view group, CControlUI* control)
{
    const auto found = m_optionGroups.find(std::wstring(group));
    if (found == m_optionGroups.end())
        return;
    std::erase(found->second, control);
    if (found->second.empty())
        m_optionGroups.erase(found);
}
