#pragma once

#include "ui/dialog_builder.h"
#include "ui/notify_pump.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "ui/window_wnd.h"

// A window built from a skin file. Messages go, in order, to the per-message handlers
// below (each may leave bHandled false), HandleCustomMessage, the paint manager and the
// default handling; a handled message goes no further. Notifications reach Notify, whose
// default runs the message maps (the derived class's first), then the virtual windows.
class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IDialogBuilderCallback,
                       public IQueryControlText {
public:
    WindowImplBase() = default;
    ~WindowImplBase() override;

    virtual void InitWindow() {}
    void OnFinalMessage(HWND hwnd) override;
    void Notify(TNotifyUI& msg) override;

    DUI_DECLARE_MESSAGE_MAP()
    // "closebtn" closes; "minbtn", "maxbtn", "restorebtn" send the size commands.
    virtual void OnClick(TNotifyUI& msg);

    CPaintManagerUI& GetPaintManager() { return m_pm; }
    // Sets the title the desktop shows from GetTitleTextId() in the current language.
    void RefreshTitle();
    UINT GetClassStyle() const override { return CS_DBLCLKS; }

protected:
    virtual CDuiString GetSkinFolder() { return CDuiString(); }
    // A skin-index name, a file below the resource path, or XML text.
    virtual CDuiString GetSkinFile() = 0;
    // The language text that titles the window for the desktop; none keeps the title
    // given to Create.
    virtual const wchar_t* GetTitleTextId() const { return nullptr; }

    CControlUI* CreateControl(const wchar_t*) override { return nullptr; }
    const wchar_t* QueryControlText(const wchar_t*, const wchar_t*) override { return nullptr; }

    virtual LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcActivate(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseWheel(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseHover(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnLButtonUp(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnKeyDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnKillFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSetFocus(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CPaintManagerUI m_pm;

private:
    void ShowSizeButtons(bool maximized);
    // The window manager's close does what the skin's close button does.
    void OnManagerClose();
};
