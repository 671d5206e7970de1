#pragma once

#include "ui/container_ui.h"
#include "ui/list_ui.h"
#include "ui/popup_ui.h"

#include <optional>

// A drop-down choice of list rows; sends "itemselect". Hidden rows are skipped.
class CComboUI : public CContainerUI, public IListOwnerUI, public IPopupUI {
public:
    CComboUI();
    ~CComboUI() override;
    const wchar_t* GetClass() const override { return L"ComboUI"; }
    void* GetInterface(std::wstring_view name) override;
    UINT GetControlFlags() const override { return IsEnabled() ? UIFLAG_TABSTOP : 0; }

    CDuiString GetText() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool doNotDestroy = false) override;
    bool RemoveAt(int index, bool doNotDestroy = false) override;
    void RemoveAll() override;

    TListInfoUI* GetListInfo() override { return &m_ListInfo; }
    int GetCurSel() const override { return m_iCurSel; }
    // -1 clears the selection.
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    bool SelectItem1(int index, bool takeFocus = false, bool triggerEvent = true)
    {
        return SelectItem(index, takeFocus, triggerEvent);
    }
    bool IsDropped() const { return m_bDropped; }
    // The open list's scroll bar: shown while the list holds more rows than it shows (empty
    // otherwise). The track takes presses (a page towards them) and the thumb drags.
    RECT GetDropScrollTrackRect() const;
    RECT GetDropScrollThumbRect() const;
    int GetDropScrollPos() const { return m_popupScroll; }

    bool Activate() override;
    void SetEnabled(bool enabled = true) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
    CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(ui::Canvas& canvas, const RECT& paint) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    void PaintPopup(ui::Canvas& canvas) override;
    CControlUI* PopupControlAt(POINT pt) override;
    void ClosePopup() override;

private:
    void Reindex();
    int NextSelectable(int from, int step) const;
    int PopupContentHeight() const;
    int PopupScrollRange() const;
    void ScrollPopupTo(int y);
    // Scrolls the open list as little as needed for row `index` to show whole.
    void ScrollPopupToShow(int index);
    // Places the rows inside the open list at the current scroll position.
    void LayoutPopup();
    // Scroll bar input while the list is open; false when the event is not the bar's.
    bool HandleDropScrollEvent(TEventUI& event);

    TListInfoUI m_ListInfo;
    int m_iCurSel = -1;
    bool m_bDropped = false;
    RECT m_rcPopup{};
    int m_popupScroll = 0;
    // While the thumb is dragged: where in the thumb it was taken, from its top.
    std::optional<int> m_thumbGrab;
    DWORD m_dwScrollTrackColor = 0xFFE8E8E8;
    DWORD m_dwScrollThumbColor = 0xFF999999;
    bool m_bHot = false;
    SIZE m_szDropBox{0, 150};
    RECT m_rcTextPadding{4, 0, 4, 0};
    int m_iFont = -1;
    DWORD m_dwTextColor = 0xFF000000;
    DWORD m_dwDisabledTextColor = 0xFFA7A6AA;
    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
    CDuiString m_sPushedImage;
    CDuiString m_sDisabledImage;
};
