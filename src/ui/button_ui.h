#pragma once

#include "ui/label_ui.h"

inline constexpr UINT UISTATE_FOCUSED = 0x01;
inline constexpr UINT UISTATE_SELECTED = 0x02;
inline constexpr UINT UISTATE_DISABLED = 0x04;
inline constexpr UINT UISTATE_HOT = 0x08;
inline constexpr UINT UISTATE_PUSHED = 0x10;
inline constexpr UINT UISTATE_READONLY = 0x20;
inline constexpr UINT UISTATE_CAPTURED = 0x40;

// Sends "click" when released inside while enabled. A button bound to a tab layout
// also selects the bound page.
class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    const wchar_t* GetClass() const override { return L"ButtonUI"; }
    void* GetInterface(std::wstring_view name) override;
    UINT GetControlFlags() const override;

    bool Activate() override;
    void SetEnabled(bool enabled = true) override;
    void DoEvent(TEventUI& event) override;

    CDuiString GetNormalImage() const { return m_sNormalImage; }
    void SetNormalImage(std::wstring_view image);
    CDuiString GetHotImage() const { return m_sHotImage; }
    void SetHotImage(std::wstring_view image);
    CDuiString GetPushedImage() const { return m_sPushedImage; }
    void SetPushedImage(std::wstring_view image);
    CDuiString GetDisabledImage() const { return m_sDisabledImage; }
    void SetDisabledImage(std::wstring_view image);
    CDuiString GetForeImage() const { return m_sForeImage; }
    void SetForeImage(std::wstring_view image);
    void SetHotBkColor(DWORD argb) { m_dwHotBkColor = argb; }
    void SetHotTextColor(DWORD argb) { m_dwHotTextColor = argb; }
    void SetPushedTextColor(DWORD argb) { m_dwPushedTextColor = argb; }

    void BindTabIndex(int index) { m_iBindTabIndex = index; }
    void BindTabLayoutName(std::wstring_view name) { m_sBindTabLayoutName = name; }
    int GetBindTabLayoutIndex() const { return m_iBindTabIndex; }
    CDuiString GetBindTabLayoutName() const { return m_sBindTabLayoutName; }
    void BindTriggerTabSel(int index = -1);

    UINT GetButtonState() const { return m_uButtonState; }

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintBkColor(ui::Canvas& canvas) override;
    void PaintStatusImage(ui::Canvas& canvas) override;

protected:
    DWORD CurrentTextColor() const override;

    UINT m_uButtonState = 0;
    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
    CDuiString m_sPushedImage;
    CDuiString m_sFocusedImage;
    CDuiString m_sDisabledImage;
    CDuiString m_sForeImage;
    CDuiString m_sHotForeImage;
    DWORD m_dwHotBkColor = 0;
    DWORD m_dwPushedBkColor = 0;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
    int m_iBindTabIndex = -1;
    CDuiString m_sBindTabLayoutName;
};

// A button that stays selected. Options sharing a group exclude each other across the
// whole window; selecting one sends "selectchanged" (when asked to) after "click".
class COptionUI : public CButtonUI {
public:
    ~COptionUI() override;
    const wchar_t* GetClass() const override { return L"OptionUI"; }
    void* GetInterface(std::wstring_view name) override;

    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    bool Activate() override;

    CDuiString GetGroup() const { return m_sGroupName; }
    void SetGroup(std::wstring_view group);
    bool IsSelected() const { return m_bSelected; }
    virtual void Selected(bool selected, bool triggerEvent = true);

    CDuiString GetSelectedImage() const { return m_sSelectedImage; }
    void SetSelectedImage(std::wstring_view image);
    void SetSelectedHotImage(std::wstring_view image) { m_sSelectedHotImage = image; }
    DWORD GetSelectedBkColor() const { return m_dwSelectedBkColor; }
    void SetSelectedBkColor(DWORD argb);
    DWORD GetSelectedTextColor() const { return m_dwSelectedTextColor; }
    void SetSelectedTextColor(DWORD argb);

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintBkColor(ui::Canvas& canvas) override;
    void PaintStatusImage(ui::Canvas& canvas) override;

protected:
    DWORD CurrentTextColor() const override;

    bool m_bSelected = false;
    CDuiString m_sGroupName;
    CDuiString m_sSelectedImage;
    CDuiString m_sSelectedHotImage;
    DWORD m_dwSelectedBkColor = 0;
    DWORD m_dwSelectedTextColor = 0;
};

// An option without a group: clicking toggles it.
class CCheckBoxUI : public COptionUI {
public:
    const wchar_t* GetClass() const override { return L"CheckBoxUI"; }
    void* GetInterface(std::wstring_view name) override;
    bool GetCheck() const { return IsSelected(); }
    void SetCheck(bool check, bool triggerEvent = true) { Selected(check, triggerEvent); }
};
