#pragma once

#include "ui/control_ui.h"

#include <optional>
#include <vector>

// A control with children. Owns them: Remove and RemoveAll delete them unless asked not to.
class CContainerUI : public CControlUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    const wchar_t* GetClass() const override { return L"ContainerUI"; }
    void* GetInterface(std::wstring_view name) override;

    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(CControlUI* control) const;
    bool SetItemIndex(CControlUI* control, int index);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    // doNotDestroy keeps the control alive for the caller (moving rows).
    virtual bool Remove(CControlUI* control, bool doNotDestroy = false);
    virtual bool RemoveAt(int index, bool doNotDestroy = false);
    virtual void RemoveAll();

    CControlUI* FindSubControl(std::wstring_view name);

    RECT GetInset() const { return m_rcInset; }
    void SetInset(RECT rc);
    int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int padding);
    UINT GetChildAlign() const { return m_iChildAlign; }
    void SetChildAlign(UINT align);
    UINT GetChildVAlign() const { return m_iChildVAlign; }
    void SetChildVAlign(UINT align);
    bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
    void SetMouseChildEnabled(bool enabled = true) { m_bMouseChildEnabled = enabled; }
    bool IsAutoDestroy() const { return m_bAutoDestroy; }
    void SetAutoDestroy(bool autoDestroy) { m_bAutoDestroy = autoDestroy; }

    // Vertical scroll offset of the content, in device pixels.
    int GetScrollPos() const { return m_scrollY; }
    void SetScrollPos(int y);
    int GetScrollRange() const;
    // The scroll bar's track and thumb (empty when nothing scrolls); the track takes
    // presses before the children under it.
    RECT GetScrollTrackRect() const;
    RECT GetScrollThumbRect() const;

    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    void SetMouseEnabled(bool enabled = true) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(ui::Canvas& canvas, const RECT& paint) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

protected:
    // The area children share: the item rectangle less the inset.
    RECT ContentRect() const;
    void SetFloatPos(CControlUI* control, const RECT& content);

    // Lays the visible, non-floating children out one after another along the axis: fixed
    // lengths first, stretching children share what is left. `offset` shifts the stack
    // (the scroll position). Returns the stack's whole length.
    enum class StackAxis { Vertical, Horizontal };
    int LayoutStack(StackAxis axis, const RECT& content, int offset);

    std::vector<CControlUI*> m_items;
    RECT m_rcInset{};
    int m_iChildPadding = 0;
    UINT m_iChildAlign = DT_LEFT;
    UINT m_iChildVAlign = DT_TOP;
    bool m_bMouseChildEnabled = true;
    bool m_bAutoDestroy = true;
    int m_scrollY = 0;
    int m_contentHeight = 0;
    bool m_bScrollEnabled = false;

private:
    bool HandleScrollBarEvent(TEventUI& event);

    // While the thumb is dragged: where in the thumb it was taken, from its top.
    std::optional<int> m_thumbGrab;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"VerticalLayoutUI"; }
    void* GetInterface(std::wstring_view name) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"HorizontalLayoutUI"; }
    void* GetInterface(std::wstring_view name) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
};

// Shows one child at a time.
class CTabLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"TabLayoutUI"; }
    void* GetInterface(std::wstring_view name) override;

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool doNotDestroy = false) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    virtual bool SelectItem(int index);
    bool SelectItem(CControlUI* control);
    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

private:
    int m_iCurSel = -1;
};
