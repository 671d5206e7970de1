#pragma once

#include "ui/label_ui.h"

// A value between a minimum and a maximum, drawn as a filled bar.
class CProgressUI : public CLabelUI {
public:
    const wchar_t* GetClass() const override { return L"ProgressUI"; }
    void* GetInterface(std::wstring_view name) override;

    bool IsHorizontal() const { return m_bHorizontal; }
    void SetHorizontal(bool horizontal = true);
    int GetMinValue() const { return m_nMin; }
    void SetMinValue(int min);
    int GetMaxValue() const { return m_nMax; }
    void SetMaxValue(int max);
    int GetValue() const { return m_nValue; }
    // Clamped to the range.
    virtual void SetValue(int value);
    void SetForeColor(DWORD argb);

    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintStatusImage(ui::Canvas& canvas) override;

protected:
    // The part of the rectangle that stands for the current value.
    RECT ValueRect() const;

    bool m_bHorizontal = true;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    DWORD m_dwForeColor = 0xFF0099FF;
    CDuiString m_sForeImage;
};

// A progress bar with a thumb the user drags. Sends "valuechanged" when the user sets
// a value (release, wheel, keys) and, with "sendmove", "movevaluechanged" while dragging.
class CSliderUI : public CProgressUI {
public:
    CSliderUI();
    const wchar_t* GetClass() const override { return L"SliderUI"; }
    void* GetInterface(std::wstring_view name) override;
    UINT GetControlFlags() const override { return IsEnabled() ? UIFLAG_TABSTOP : 0; }

    void SetEnabled(bool enabled = true) override;
    int GetChangeStep() const { return m_nStep; }
    void SetChangeStep(int step) { m_nStep = step > 0 ? step : 1; }
    bool IsSendMove() const { return m_bSendMove; }
    void SetSendMove(bool sendMove) { m_bSendMove = sendMove; }
    SIZE GetThumbSize() const { return m_szThumb; }
    void SetThumbSize(SIZE size) { m_szThumb = size; }
    RECT GetThumbRect() const;

    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintStatusImage(ui::Canvas& canvas) override;

private:
    int ValueAt(POINT pt) const;
    void SetByUser(int value, const wchar_t* notification);

    int m_nStep = 1;
    bool m_bSendMove = false;
    bool m_bCaptured = false;
    bool m_bHot = false;
    SIZE m_szThumb{10, 10};
    DWORD m_dwThumbColor = 0xFF666666;
    CDuiString m_sThumbImage;
    CDuiString m_sThumbHotImage;
    CDuiString m_sThumbPushedImage;
};
