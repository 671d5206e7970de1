#pragma once

#include "ui/notify.h"
#include "ui/render.h"

#include <string>
#include <string_view>

class CPaintManagerUI;
class CControlUI;

using FINDCONTROLPROC = CControlUI* (*)(CControlUI*, void*);

inline constexpr UINT UIFIND_ALL = 0x00000000;
inline constexpr UINT UIFIND_VISIBLE = 0x00000001;
inline constexpr UINT UIFIND_ENABLED = 0x00000002;
inline constexpr UINT UIFIND_HITTEST = 0x00000004;
inline constexpr UINT UIFIND_TOP_FIRST = 0x00000008;
inline constexpr UINT UIFIND_ME_FIRST = 0x80000000;

inline constexpr UINT UIFLAG_TABSTOP = 0x00000001;
inline constexpr UINT UIFLAG_SETCURSOR = 0x00000002;

// Parses skin colour text: "#AARRGGBB", "#RRGGBB" (opaque), "0x…" or decimal.
DWORD parseColor(std::wstring_view text);
// Parses "l,t,r,b" (missing fields are 0) and "cx,cy".
RECT parseRectAttribute(std::wstring_view text);
SIZE parseSizeAttribute(std::wstring_view text);
bool parseBool(std::wstring_view text);
int parseInt(std::wstring_view text);

// The base of every control: name, text, geometry, colours, images and events.
// Owned by its parent container; the tree is deleted from the root.
class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CDuiString GetName() const { return m_sName; }
    virtual void SetName(std::wstring_view name) { m_sName = name; }
    virtual const wchar_t* GetClass() const { return L"ControlUI"; }
    // The interface of the given name (control class names without "C"/"UI"), else null.
    virtual void* GetInterface(std::wstring_view name);
    virtual UINT GetControlFlags() const { return 0; }

    virtual bool Activate();
    virtual CPaintManagerUI* GetManager() const { return m_pManager; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
    virtual CControlUI* GetParent() const { return m_pParent; }

    // With resource text on, GetText() answers the language text of the stored id.
    virtual CDuiString GetText() const;
    virtual void SetText(std::wstring_view text);
    CDuiString GetTextId() const { return m_sText; }
    bool IsResourceText() const { return m_bResourceText; }
    void SetResourceText(bool resource);

    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD argb);
    CDuiString GetBkImage() const { return m_sBkImage; }
    void SetBkImage(std::wstring_view image);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD argb);
    int GetBorderSize() const { return m_nBorderSize; }
    void SetBorderSize(int size);

    // Position in device pixels inside the window.
    virtual const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc, bool needInvalidate = true);
    // Unscaled skin values; the layout scales them by the manager's DPI.
    RECT GetPadding() const { return m_rcPadding; }
    void SetPadding(RECT rc);
    SIZE GetFixedXY() const { return m_cXY; }
    void SetFixedXY(SIZE xy);
    int GetFixedWidth() const { return m_cxyFixed.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedHeight(int cy);
    int GetMinWidth() const { return m_cxyMin.cx; }
    void SetMinWidth(int cx);
    int GetMaxWidth() const { return m_cxyMax.cx; }
    void SetMaxWidth(int cx);
    int GetMinHeight() const { return m_cxyMin.cy; }
    void SetMinHeight(int cy);
    int GetMaxHeight() const { return m_cxyMax.cy; }
    void SetMaxHeight(int cy);
    RECT GetFloatPos() const { return m_rcFloat; }

    virtual CDuiString GetToolTip() const;
    virtual void SetToolTip(std::wstring_view text) { m_sToolTip = text; }
    // A bold first line above the tooltip text.
    virtual CDuiString GetToolTipTitle() const;
    virtual void SetToolTipTitle(std::wstring_view title) { m_sToolTipTitle = title; }

    CDuiString GetUserData() const { return m_sUserData; }
    void SetUserData(std::wstring_view text) { m_sUserData = text; }
    UINT_PTR GetTag() const { return m_pTag; }
    void SetTag(UINT_PTR tag) { m_pTag = tag; }
    CDuiString GetVirtualWnd() const;
    void SetVirtualWnd(std::wstring_view name) { m_sVirtualWnd = name; }

    virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
    virtual void SetVisible(bool visible = true);
    // Visibility imposed by the parent (a hidden container hides its children).
    virtual void SetInternVisible(bool visible = true);
    virtual bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool enabled = true);
    virtual bool IsMouseEnabled() const { return m_bMouseEnabled; }
    virtual void SetMouseEnabled(bool enabled = true) { m_bMouseEnabled = enabled; }
    virtual bool IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
    virtual void SetKeyboardEnabled(bool enabled = true) { m_bKeyboardEnabled = enabled; }
    virtual bool IsFocused() const { return m_bFocused; }
    virtual void SetFocus();
    virtual bool IsFloat() const { return m_bFloat; }
    virtual void SetFloat(bool isFloat = true);

    virtual CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags);

    void Invalidate();
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    void NeedUpdate();
    void NeedParentUpdate();

    virtual void Init();
    virtual void DoInit() {}

    // Entry point for events: gives the control's hook a look, then DoEvent.
    virtual void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);

    virtual void SetAttribute(std::wstring_view name, std::wstring_view value);
    // Applies a list of name="value" (or name='value') pairs.
    void ApplyAttributeList(std::wstring_view list);

    // The size this control wants inside the available space, in device pixels.
    virtual SIZE EstimateSize(SIZE available);

    virtual void DoPaint(ui::Canvas& canvas, const RECT& paint);
    virtual void PaintBkColor(ui::Canvas& canvas);
    virtual void PaintBkImage(ui::Canvas& canvas);
    virtual void PaintStatusImage(ui::Canvas& canvas);
    virtual void PaintText(ui::Canvas& canvas);
    virtual void PaintBorder(ui::Canvas& canvas);

    // Draws an image string into the control's rectangle (or its dest sub-rectangle).
    bool DrawImage(ui::Canvas& canvas, std::wstring_view image);

protected:
    // Scales an unscaled skin length by the manager's DPI.
    int Scaled(int value) const;
    RECT ScaledRect(const RECT& rc) const;

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CDuiString m_sName;
    CDuiString m_sText;
    CDuiString m_sToolTip;
    CDuiString m_sToolTipTitle;
    CDuiString m_sUserData;
    CDuiString m_sVirtualWnd;
    CDuiString m_sBkImage;
    UINT_PTR m_pTag = 0;
    bool m_bUpdateNeeded = true;
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    bool m_bResourceText = false;
    RECT m_rcItem{};
    RECT m_rcPadding{};
    RECT m_rcFloat{}; // "pos" of a floating control, relative to its parent
    SIZE m_cXY{};
    SIZE m_cxyFixed{};
    SIZE m_cxyMin{};
    SIZE m_cxyMax{9999, 9999};
    DWORD m_dwBackColor = 0;
    DWORD m_dwBorderColor = 0;
    int m_nBorderSize = 0;
};
