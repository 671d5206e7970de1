#pragma once

#include "ui/control_ui.h"

class CLabelUI : public CControlUI {
public:
    const wchar_t* GetClass() const override { return L"LabelUI"; }
    void* GetInterface(std::wstring_view name) override;

    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetTextColor(DWORD argb);
    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    void SetDisabledTextColor(DWORD argb);
    int GetFont() const { return m_iFont; }
    void SetFont(int index);
    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextStyle(UINT style);
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(RECT rc);

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintText(ui::Canvas& canvas) override;

protected:
    // The colour text is drawn in now; buttons and options pick by state.
    virtual DWORD CurrentTextColor() const;
    void DrawTextIn(ui::Canvas& canvas, const RECT& rc, std::wstring_view text, DWORD color);
    // Where the text goes: the control less its text padding.
    RECT TextRect() const;

    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    int m_iFont = -1;
    UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE;
    RECT m_rcTextPadding{};
};
