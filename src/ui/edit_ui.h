#pragma once

#include "ui/label_ui.h"

#include <optional>

// A one-line text field edited in place. Sends "setfocus", "killfocus" and
// "textchanged" (for edits by the user). Number-only fields accept digits only; a
// numeric range, when set, is applied when the field loses focus.
class CEditUI : public CLabelUI {
public:
    CEditUI();
    const wchar_t* GetClass() const override { return L"EditUI"; }
    void* GetInterface(std::wstring_view name) override;
    UINT GetControlFlags() const override;

    void SetText(std::wstring_view text) override;
    void SetEnabled(bool enabled = true) override;
    int GetMaxChar() const { return m_iMaxChar; }
    void SetMaxChar(int max);
    bool IsNumberOnly() const { return m_bNumberOnly; }
    void SetNumberOnly(bool numberOnly);
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetReadOnly(bool readOnly);
    bool IsPasswordMode() const { return m_bPasswordMode; }
    void SetPasswordMode(bool password);
    void SetMinValue(int value) { m_minValue = value; }
    void SetMaxValue(int value) { m_maxValue = value; }
    std::optional<int> GetMinValue() const { return m_minValue; }
    std::optional<int> GetMaxValue() const { return m_maxValue; }
    CDuiString GetTipValue() const;
    void SetTipValue(std::wstring_view tip);
    void SetTipValueColor(DWORD argb) { m_dwTipValueColor = argb; }

    // Caret and selection as character positions; -1 for the end.
    void SetSel(int start, int end);
    void SetSelAll() { SetSel(0, -1); }
    int GetCaret() const { return m_caret; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintStatusImage(ui::Canvas& canvas) override;
    void PaintText(ui::Canvas& canvas) override;

protected:
    virtual bool AcceptsChar(wchar_t c) const;
    void InsertText(std::wstring_view text);
    bool DeleteSelection();
    void ApplyRange();
    void TextChangedByUser();

    int m_iMaxChar = 255;
    bool m_bNumberOnly = false;
    bool m_bReadOnly = false;
    bool m_bPasswordMode = false;
    std::optional<int> m_minValue;
    std::optional<int> m_maxValue;
    CDuiString m_sTipValue;
    DWORD m_dwTipValueColor = 0xFFBAC0C5;
    DWORD m_dwFocusBkColor = 0;
    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
    CDuiString m_sFocusedImage;
    CDuiString m_sDisabledImage;
    int m_caret = 0;
    int m_selStart = 0;
    bool m_hot = false;
};

// A multi-line field with the same editing rules; Return starts a new line.
class CRichEditUI : public CEditUI {
public:
    CRichEditUI();
    const wchar_t* GetClass() const override { return L"RichEditUI"; }
    void* GetInterface(std::wstring_view name) override;
    void DoEvent(TEventUI& event) override;
};
