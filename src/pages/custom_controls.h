#pragma once

#include "ui/button_ui.h"
#include "ui/container_ui.h"
#include "ui/list_ui.h"
#include "ui/slider_ui.h"

#include <functional>

// The program's small custom controls. They draw what the skin gives them and forward
// clicks; pages use them by name.

class CCircleProgressUI : public CProgressUI {
public:
    const wchar_t* GetClass() const override { return L"CircleProgress"; }
    void PaintStatusImage(ui::Canvas& canvas) override;
};

class CChartViewUI : public CControlUI {
public:
    const wchar_t* GetClass() const override { return L"ChartView"; }
};

// Stands where a native child window would be hosted; there is none to host here.
class CWndUI : public CControlUI {
public:
    const wchar_t* GetClass() const override { return L"WndUI"; }
};

// The device picture: holds the key buttons and lets the user drag a selection
// rectangle over them, ending with "click_select_end".
// Whether a box drawn on a device picture takes the key at `key`: any overlap, so a click
// without a drag takes the key under it. The preview and the painting both ask this.
[[nodiscard]] bool selectionTakes(const RECT& selection, const RECT& key);

class CSelectPanelUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override { return L"SelectPanel"; }
    void DoEvent(TEventUI& event) override;
    void DoPaint(ui::Canvas& canvas, const RECT& paint) override;
    // While `paintsKeys` answers true the panel takes every press itself, on a key too, so
    // a drag from anywhere draws the box (a click is a box of no size). Asked at each hit.
    void SetBoxOverKeys(std::function<bool()> paintsKeys) { m_boxOverKeys = std::move(paintsKeys); }
    CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags) override;
    // The last selection rectangle, in window coordinates.
    RECT GetSelectRect() const { return m_selection; }
    bool IsSelecting() const { return m_selecting; }

private:
    bool m_selecting = false;
    POINT m_start{};
    RECT m_selection{};
    std::function<bool()> m_boxOverKeys;
};

class CCloudShareListItemUI : public CListContainerElementUI {
public:
    const wchar_t* GetClass() const override { return L"CloudShareListItem"; }
};

class CComboEditContainerElementUI : public CListContainerElementUI {
public:
    const wchar_t* GetClass() const override { return L"ComboEditContainerElement"; }
};

class CHandImgButtonUI : public CButtonUI {
public:
    const wchar_t* GetClass() const override { return L"HandImgButton"; }
};

class CHandImgSelectButtonUI : public COptionUI {
public:
    const wchar_t* GetClass() const override { return L"HandImgSelectButton"; }
};

class CRedioMacroButtonUI : public COptionUI {
public:
    const wchar_t* GetClass() const override { return L"RedioMacroButton"; }
};

class CAudioRecordUI : public CButtonUI {
public:
    const wchar_t* GetClass() const override { return L"AudioRecord"; }
};

// Stands in for a page or device class whose own Part has not been built yet: a plain
// layout answering the class name its users look for.
class PlaceholderLayoutUI : public CHorizontalLayoutUI {
public:
    explicit PlaceholderLayoutUI(const wchar_t* className) : m_className(className) {}
    const wchar_t* GetClass() const override { return m_className; }

private:
    const wchar_t* m_className;
};
