#pragma once

#include "ui/container_ui.h"
#include "ui/label_ui.h"

class IListOwnerUI;

// How the owner draws its rows.
struct TListInfoUI {
    int nFont = -1;
    UINT uTextStyle = DT_VCENTER | DT_SINGLELINE;
    RECT rcTextPadding{4, 0, 4, 0};
    DWORD dwTextColor = 0xFF000000;
    DWORD dwBkColor = 0;
    DWORD dwSelectedTextColor = 0xFF000000;
    DWORD dwSelectedBkColor = 0xFFC1E3FF;
    DWORD dwHotTextColor = 0xFF000000;
    DWORD dwHotBkColor = 0xFFE9F5FF;
    DWORD dwDisabledTextColor = 0xFFCCCCCC;
    // Applies an "item…" attribute of a list or combo; false when it is not one.
    bool SetAttribute(std::wstring_view name, std::wstring_view value);
};

class IListItemUI {
public:
    virtual ~IListItemUI() = default;
    virtual int GetIndex() const = 0;
    virtual void SetIndex(int index) = 0;
    virtual IListOwnerUI* GetOwner() = 0;
    virtual void SetOwner(CControlUI* owner) = 0;
    virtual bool IsSelected() const = 0;
    virtual bool Select(bool select = true, bool triggerEvent = true) = 0;
};

class IListOwnerUI {
public:
    virtual ~IListOwnerUI() = default;
    virtual TListInfoUI* GetListInfo() = 0;
    virtual int GetCurSel() const = 0;
    virtual bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) = 0;
    // Lets the owner react to row input (the combo closes its list on a click).
    virtual void DoEvent(TEventUI& event) = 0;
};

// Row bookkeeping shared by the two row owners, lists and combos: rows know their index
// and owner, and the owner's selection follows rows inserted or removed before it.
namespace ui {
void reindexRows(CContainerUI& owner);
void adoptRow(CControlUI& row, CControlUI& owner);
[[nodiscard]] int selectionAfterInsert(int selected, int inserted);
[[nodiscard]] int selectionAfterRemove(int selected, int removed);
} // namespace ui

// A row: sends "itemclick" when pressed, selects itself in its owner, and sends
// "itemactivate" on a double click.
class CListElementUI : public CControlUI, public IListItemUI {
public:
    CListElementUI();
    const wchar_t* GetClass() const override { return L"ListElementUI"; }
    void* GetInterface(std::wstring_view name) override;
    UINT GetControlFlags() const override { return UIFLAG_TABSTOP; }

    int GetIndex() const override { return m_iIndex; }
    void SetIndex(int index) override { m_iIndex = index; }
    IListOwnerUI* GetOwner() override { return m_pOwner; }
    void SetOwner(CControlUI* owner) override;
    bool IsSelected() const override { return m_bSelected; }
    bool Select(bool select = true, bool triggerEvent = true) override;
    bool Activate() override;
    void SetVisible(bool visible = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintBkColor(ui::Canvas& canvas) override;

protected:
    int m_iIndex = -1;
    bool m_bSelected = false;
    bool m_bHot = false;
    IListOwnerUI* m_pOwner = nullptr;
};

class CListLabelElementUI : public CListElementUI {
public:
    const wchar_t* GetClass() const override { return L"ListLabelElementUI"; }
    void* GetInterface(std::wstring_view name) override;
    SIZE EstimateSize(SIZE available) override;
    void PaintText(ui::Canvas& canvas) override;
};

// A row made of child controls (a horizontal layout).
class CListContainerElementUI : public CHorizontalLayoutUI, public IListItemUI {
public:
    const wchar_t* GetClass() const override { return L"ListContainerElementUI"; }
    void* GetInterface(std::wstring_view name) override;
    UINT GetControlFlags() const override { return UIFLAG_TABSTOP; }

    int GetIndex() const override { return m_iIndex; }
    void SetIndex(int index) override { m_iIndex = index; }
    IListOwnerUI* GetOwner() override { return m_pOwner; }
    void SetOwner(CControlUI* owner) override;
    bool IsSelected() const override { return m_bSelected; }
    bool Select(bool select = true, bool triggerEvent = true) override;
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    void PaintBkColor(ui::Canvas& canvas) override;

protected:
    int m_iIndex = -1;
    bool m_bSelected = false;
    bool m_bHot = false;
    IListOwnerUI* m_pOwner = nullptr;
};

// A scrolling list of rows with one selection; sends "itemselect".
class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
public:
    CListUI();
    const wchar_t* GetClass() const override { return L"ListUI"; }
    void* GetInterface(std::wstring_view name) override;
    UINT GetControlFlags() const override { return UIFLAG_TABSTOP; }

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool doNotDestroy = false) override;
    bool RemoveAt(int index, bool doNotDestroy = false) override;
    void RemoveAll() override;

    TListInfoUI* GetListInfo() override { return &m_ListInfo; }
    int GetCurSel() const override { return m_iCurSel; }
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    // Scrolls so that the row is fully visible.
    void EnsureVisible(int index);
    void SetPos(RECT rc, bool needInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

private:
    void Reindex();

    TListInfoUI m_ListInfo;
    int m_iCurSel = -1;
    int m_ensureVisible = -1; // applied at the next layout when asked before it
};
