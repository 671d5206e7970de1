#include "ui/menu_wnd.h"

#include "platform/debug_output.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "ui/dialog_builder.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <mutex>
#include <set>

namespace {

// Records handed out and not yet freed; the only pointers WM_MENUCLICK may carry.
std::mutex g_recordLock;
std::set<const void*>& outstandingRecords()
{
    static std::set<const void*> records;
    return records;
}

std::vector<CMenuWnd*>& openMenus()
{
    static std::vector<CMenuWnd*> menus;
    return menus;
}

void copyText(wchar_t* target, std::size_t size, std::wstring_view text)
{
    const std::size_t count = std::min(text.size(), size - 1);
    std::wmemcpy(target, text.data(), count);
    target[count] = L'\0';
}

} // namespace

namespace ui {

const MenuCmd* acceptMenuCommand(WPARAM wParam)
{
    const auto* record = reinterpret_cast<const MenuCmd*>(wParam);
    std::lock_guard guard(g_recordLock);
    return outstandingRecords().count(record) ? record : nullptr;
}

bool releaseMenuCommand(const void* record)
{
    {
        std::lock_guard guard(g_recordLock);
        if (outstandingRecords().erase(record) == 0)
            return false;
    }
    delete static_cast<const MenuCmd*>(record);
    return true;
}

bool postMenuCommand(HWND target, std::wstring_view name, std::wstring_view userData,
                     std::wstring_view text, bool checked)
{
    auto* record = new MenuCmd{};
    copyText(record->szName, std::size(record->szName), name);
    copyText(record->szUserData, std::size(record->szUserData), userData);
    copyText(record->szText, std::size(record->szText), text);
    record->bChecked = checked ? 1 : 0;
    {
        std::lock_guard guard(g_recordLock);
        outstandingRecords().insert(record);
    }
    if (target && platform::postMessage(target, WM_MENUCLICK, reinterpret_cast<WPARAM>(record), 0))
        return true;
    releaseMenuCommand(record);
    return false;
}

std::vector<MenuItemText> readMenuItems(std::wstring_view xml)
{
    std::vector<MenuItemText> items;
    std::unique_ptr<CControlUI> root(CDialogBuilder().Create(xml));
    auto* list = root ? static_cast<CContainerUI*>(root->GetInterface(L"Container")) : nullptr;
    if (!list)
        return items;
    for (int i = 0; i < list->GetCount(); ++i) {
        CControlUI* item = list->GetItemAt(i);
        if (item->GetInterface(L"MenuElement") && item->IsVisible())
            items.push_back({std::wstring(item->GetName()), std::wstring(item->GetText())});
    }
    return items;
}

} // namespace ui

void CPaintManagerUI::DeletePtr(void* ptr)
{
    if (ptr && !ui::releaseMenuCommand(ptr))
        platform::debugOutput(L"DeletePtr: not a record the menu handed out; not freed");
}

void* CMenuUI::GetInterface(std::wstring_view name)
{
    if (name == L"Menu")
        return this;
    return CListUI::GetInterface(name);
}

void* CMenuElementUI::GetInterface(std::wstring_view name)
{
    if (name == L"MenuElement")
        return this;
    return CListLabelElementUI::GetInterface(name);
}

void CMenuElementUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"checkitem")
        m_checkItem = parseBool(value);
    else if (name == L"checked")
        m_checked = parseBool(value);
    else
        CListLabelElementUI::SetAttribute(name, value);
}

void CMenuElementUI::DoEvent(TEventUI& event)
{
    if (event.Type == UIEVENT_BUTTONUP && IsEnabled() && PtInRect(m_rcItem, event.ptMouse)) {
        if (m_pManager)
            m_pManager->SendNotify(this, L"itemclick");
        return;
    }
    if (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK)
        return; // chosen on release
    CListLabelElementUI::DoEvent(event);
}

void CMenuElementUI::PaintText(ui::Canvas& canvas)
{
    CListLabelElementUI::PaintText(canvas);
    if (m_checkItem && m_checked && m_pManager) {
        const int size = Scaled(6);
        const int x = m_rcItem.right - Scaled(14);
        const int y = (m_rcItem.top + m_rcItem.bottom - size) / 2;
        canvas.fillEllipse(RECT{x, y, x + size, y + size}, 0xFF0099FF);
    }
}

CMenuWnd* CMenuWnd::CreateMenu(CMenuElementUI*, std::wstring_view xml, POINT point,
                               CPaintManagerUI* mainPaintManager, CStdStringPtrMap* checkInfo,
                               DWORD alignment)
{
    auto* menu = new CMenuWnd;
    menu->m_xml = xml;
    menu->m_mainManager = mainPaintManager;
    menu->m_checkInfo = checkInfo;
    const HWND owner = mainPaintManager ? mainPaintManager->GetPaintWindow() : nullptr;
    if (!menu->Create(owner, L"menu", WS_POPUP, WS_EX_TOOLWINDOW, point.x, point.y, CW_USEDEFAULT,
                      CW_USEDEFAULT)) {
        return nullptr; // deleted in OnFinalMessage
    }
    // Check marks come from the caller's map.
    if (checkInfo) {
        menu->m_pm.GetRoot()->FindControl(
            [](CControlUI* control, void* data) -> CControlUI* {
                auto* item = static_cast<CMenuElementUI*>(control->GetInterface(L"MenuElement"));
                auto* map = static_cast<CStdStringPtrMap*>(data);
                if (item && item->IsCheckItem()) {
                    if (const auto* checked = static_cast<bool*>(map->Find(item->GetName())))
                        item->SetAttribute(L"checked", *checked ? L"true" : L"false");
                }
                return nullptr;
            },
            checkInfo, UIFIND_ALL);
    }
    // As wide as the menu says (160 by default), as high as its visible items.
    CControlUI* root = menu->m_pm.GetRoot();
    int width = menu->m_pm.Scale(root->GetFixedWidth() > 0 ? root->GetFixedWidth() : 160);
    int height = 0;
    if (auto* list = static_cast<CContainerUI*>(root->GetInterface(L"Container"))) {
        const RECT inset = list->GetInset();
        height = menu->m_pm.Scale(inset.top + inset.bottom);
        for (int i = 0; i < list->GetCount(); ++i) {
            if (list->GetItemAt(i)->IsVisible())
                height += std::max(1, list->GetItemAt(i)->EstimateSize(SIZE{width, 0}).cy);
        }
    }
    const RECT area = ui::windowBackend().workArea();
    // A menu taller than the screen (a long one at 200 %) scrolls rather than run off it.
    if (height > area.bottom - area.top) {
        height = area.bottom - area.top;
        root->SetAttribute(L"vscrollbar", L"true");
    }
    height = std::max(height, 1);
    width = std::max(width, 1);
    int left = point.x;
    int top = point.y;
    if ((alignment & eMenuAlignment_Left) != 0)
        left = point.x - width;
    if ((alignment & eMenuAlignment_Top) != 0)
        top = point.y - height;
    left = std::clamp(left, area.left, std::max(area.left, area.right - width));
    top = std::clamp(top, area.top, std::max(area.top, area.bottom - height));
    menu->MoveWindow(RECT{left, top, left + width, top + height});
    menu->markAsMenu();
    menu->ShowWindow(true, true);
    // The menu takes the keyboard, so Esc reaches it, and a click elsewhere takes the focus
    // away and closes it.
    menu->BringToFront();
    openMenus().push_back(menu);
    return menu;
}

void CMenuWnd::DestroyMenu()
{
    const auto menus = openMenus();
    for (CMenuWnd* menu : menus)
        menu->Close(0);
}

void CMenuWnd::Choose(CMenuElementUI& item)
{
    bool checked = false;
    if (item.IsCheckItem() && m_checkInfo) {
        if (auto* mark = static_cast<bool*>(m_checkInfo->Find(item.GetName()))) {
            *mark = !*mark;
            checked = *mark;
        }
    }
    ui::postMenuCommand(m_mainManager ? m_mainManager->GetPaintWindow() : nullptr, item.GetName(),
                        item.GetUserData(), item.GetText(), checked);
    DestroyMenu();
}

bool CMenuWnd::ChooseItem(std::wstring_view name)
{
    auto* item = dynamic_cast<CMenuElementUI*>(m_pm.FindControl(name));
    if (!item || !item->IsEnabled() || !item->IsVisible())
        return false;
    Choose(*item);
    return true;
}

void CMenuWnd::Notify(TNotifyUI& msg)
{
    if (msg.sType == L"itemclick") {
        if (auto* item = dynamic_cast<CMenuElementUI*>(msg.pSender))
            Choose(*item);
        return;
    }
    WindowImplBase::Notify(msg);
}

LRESULT CMenuWnd::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM, bool& bHandled)
{
    bHandled = false;
    // A menu goes when the user turns elsewhere.
    if (msg == WM_KILLFOCUS || (msg == WM_KEYDOWN && wParam == VK_ESCAPE)) {
        Close(0);
        bHandled = true;
    }
    return 0;
}

void CMenuWnd::OnFinalMessage(HWND hwnd)
{
    WindowImplBase::OnFinalMessage(hwnd);
    std::erase(openMenus(), this);
    delete this;
}
