#pragma once

#include "ui/list_ui.h"
#include "ui/std_string_ptr_map.h"
#include "ui/window_impl_base.h"

#include <string>
#include <vector>

// Posted to the owner's paint window when a menu item is chosen; wParam is a MenuCmd.
inline constexpr UINT WM_MENUCLICK = 0x0479;

struct MenuCmd {
    wchar_t szName[256];
    wchar_t szUserData[1024];
    wchar_t szText[1024];
    int bChecked;
};

// Which side of the point the menu opens to.
enum MenuAlignment {
    eMenuAlignment_Left = 1 << 1,   // opens to the left: its right edge at the point
    eMenuAlignment_Top = 1 << 2,    // opens upwards: its bottom at the point
    eMenuAlignment_Right = 1 << 3,  // opens to the right: its left edge at the point
    eMenuAlignment_Bottom = 1 << 4, // opens downwards: its top at the point
};

namespace ui {
// The command record of a WM_MENUCLICK, or null when wParam is not a record the menu
// handed out and has not been freed (messages can come from anywhere).
const MenuCmd* acceptMenuCommand(WPARAM wParam);
// Frees a record handed out by the menu; false (and nothing freed) for anything else.
bool releaseMenuCommand(const void* record);
// Posts WM_MENUCLICK with a new record to the window, as choosing an item does; the
// receiver frees it. False, with nothing left behind, when the post fails.
bool postMenuCommand(HWND target, std::wstring_view name, std::wstring_view userData = {},
                     std::wstring_view text = {}, bool checked = false);

// An item of a menu file as it reads in the current language.
struct MenuItemText {
    std::wstring name;
    std::wstring text;
};
// The visible items of a menu file, in order; empty when the file cannot be read.
std::vector<MenuItemText> readMenuItems(std::wstring_view xml);
} // namespace ui

// The menu's list: "Menu" in menu files.
class CMenuUI : public CListUI {
public:
    const wchar_t* GetClass() const override { return L"MenuUI"; }
    void* GetInterface(std::wstring_view name) override;
};

// One item: "MenuElement". Choosing it posts WM_MENUCLICK and closes the menus.
class CMenuElementUI : public CListLabelElementUI {
public:
    const wchar_t* GetClass() const override { return L"MenuElementUI"; }
    void* GetInterface(std::wstring_view name) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    bool IsCheckItem() const { return m_checkItem; }
    void PaintText(ui::Canvas& canvas) override;

private:
    bool m_checkItem = false;
    bool m_checked = false;
};

// A pop-up menu built from a menu file, shown at a point.
class CMenuWnd : public WindowImplBase {
public:
    // owner: the item a sub-menu hangs from (null for a top menu). Check marks of check
    // items are kept in checkInfo under the item's name, as bool* the caller owns.
    static CMenuWnd* CreateMenu(CMenuElementUI* owner, std::wstring_view xml, POINT point,
                                CPaintManagerUI* mainPaintManager,
                                CStdStringPtrMap* checkInfo = nullptr,
                                DWORD alignment = eMenuAlignment_Right | eMenuAlignment_Bottom);
    // Closes every open menu.
    static void DestroyMenu();

    const wchar_t* GetWindowClassName() const override { return L"MenuWnd"; }
    void Notify(TNotifyUI& msg) override;
    // Chooses the item of that name as a click would; false when there is none.
    bool ChooseItem(std::wstring_view name);

protected:
    CDuiString GetSkinFile() override { return m_xml; }
    void OnFinalMessage(HWND hwnd) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    CMenuWnd() = default;
    void Choose(CMenuElementUI& item);

    std::wstring m_xml;
    CPaintManagerUI* m_mainManager = nullptr;
    CStdStringPtrMap* m_checkInfo = nullptr;
};
