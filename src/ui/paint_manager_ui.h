#pragma once

#include "ui/control_ui.h"
#include "ui/notify.h"
#include "ui/render.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The library's "DPI set" notice, posted to the paint window with the new DPI in wParam.
inline constexpr UINT UIMSG_SET_DPI = WM_USER + 200;
// Control timers travel as window timers from this id up, away from the window's own ids.
inline constexpr UINT_PTR kControlTimerBase = 0xF0000000;

namespace ui {
// The DPI values the windows accept.
bool isAllowedDpi(int dpi);
} // namespace ui

// One window's control tree: layout, painting, input dispatch, notifications, control
// timers, fonts, styles, option groups and DPI. Every member runs on the UI thread,
// except SetTimer/KillTimer, which any thread may call (the timer fires on the UI thread).
class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // --- process-wide ---
    static void SetInstance(void* instance);
    static void* GetInstance();
    // The program folder with a trailing separator.
    static CDuiString GetInstancePath();
    static void SetInstancePath(std::wstring_view path);
    static CDuiString GetResourcePath();
    static void SetResourcePath(std::wstring_view path);
    enum ResourceType { UILIB_FILE = 1, UILIB_ZIP = 2, UILIB_RESOURCE = 3, UILIB_ZIPRESOURCE = 4 };
    static void SetResourceType(int type);
    static int GetResourceType();
    // Archive skins are not supported; the calls exist so the set-up reads as before.
    static void SetResourceZip(std::wstring_view path, bool cached = false,
                               const char* password = nullptr);
    static void SetResourceZip(const void* data, unsigned int length);
    // Runs the calling thread's message loop until WM_QUIT; returns its exit code.
    static int MessageLoop();
    static void SetAllDPI(int dpi);
    static std::vector<CPaintManagerUI*> GetPaintManagers();

    // --- one window ---
    void Init(HWND hwnd, std::wstring_view name = L"");
    HWND GetPaintWindow() const { return m_hWndPaint; }
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return m_pRoot; }
    SIZE GetInitSize() const { return m_szInitWindowSize; }
    // The area the window is dragged by, at 96 DPI: left, top, right, bottom measured
    // from the matching edge (the skin's "caption"; "0,0,0,40" is the top 40 pixels).
    // Controls that take clicks inside it stay clickable.
    RECT GetCaptionRect() const { return m_rcCaption; }
    void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
    // True when a press at the point (client pixels) drags the window.
    bool IsCaptionAt(POINT pt) const;
    void SetInitSize(int cx, int cy) { m_szInitWindowSize = SIZE{cx, cy}; }
    SIZE GetClientSize() const;
    // The window's client size in device pixels (the window layer keeps it current).
    void SetClientSize(SIZE size);

    // Exact name first, then case-insensitively.
    CControlUI* FindControl(std::wstring_view name) const;
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindSubControlByName(CControlUI* parent, std::wstring_view name) const;
    CControlUI* FindSubControlByClass(CControlUI* parent, std::wstring_view className,
                                      int index = 0) const;

    void NeedUpdate();
    // The whole window is drawn again at the next WM_PAINT.
    void Invalidate();
    // Only what lies in rc (client pixels) is drawn again and shown; the rest of the last
    // frame stays.
    void Invalidate(const RECT& rc);
    // Like Invalidate(rc) for a picture that changes faster than anyone watches it (lights
    // streamed to a device): drawn at most once per kPacedFrame, with whatever else is due.
    void InvalidatePaced(const RECT& rc);
    // The same for a control that alone changed and keeps a picture of what lies under it
    // (IKeptPictureUI): its frame draws it over that picture, nothing beneath it.
    void InvalidatePaced(CControlUI& control);
    static constexpr std::chrono::milliseconds kPacedFrame{40};
    // While a control is drawn over its kept picture, the controls painted before it draw
    // nothing there (the picture holds them) and it draws from the picture, then says so.
    bool IsPaintedOver(const CControlUI& control) const
    {
        return m_keptPaint != nullptr && m_keptPaint != &control;
    }
    bool IsDrawnFromKeptPicture(const CControlUI& control) const { return m_keptPaint == &control; }
    // While a control waits to be drawn over its kept picture: the item of `container`
    // that holds it (or is it), null when the container does not hold it. Items painted
    // before that one lie wholly under the picture and need not be walked.
    const CControlUI* KeptPictureHolderIn(const CControlUI& container) const
    {
        const auto at = std::find(m_keptPath.begin(), m_keptPath.end(), &container);
        if (m_keptPaint == nullptr || at == m_keptPath.end())
            return nullptr;
        return at == m_keptPath.begin() ? m_keptPaint : *(at - 1);
    }
    void KeptPictureDrawn(const CControlUI& control);
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    // Lays out (when needed) and paints the whole tree into the canvas.
    void Paint();
    // The rectangles the last WM_PAINT showed in the window.
    const std::vector<RECT>& GetLastPresented() const { return m_lastPresented; }
    ui::Canvas* GetCanvas() const { return m_canvas.get(); }

    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    void SendNotify(TNotifyUI& msg, bool async = false);
    void SendNotify(CControlUI* control, std::wstring_view type, WPARAM wParam = 0,
                    LPARAM lParam = 0, bool async = false);

    // Control timers; a running (control, id) restarts with the new period.
    bool SetTimer(CControlUI* control, UINT id, UINT elapse);
    bool KillTimer(CControlUI* control, UINT id);
    void KillTimer(CControlUI* control);
    void RemoveAllTimers();
    // Control timers set and not killed.
    std::size_t GetTimerCount() const;

    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* control);
    // Moves the focus to the next (or previous) control in reading order and shows the
    // focus ring; false when the window has nothing to stop at.
    bool SetNextTabControl(bool forward = true);
    // The ring shows after keyboard navigation and hides at the next mouse press.
    bool IsFocusRingShown() const { return m_focusRingShown && m_pFocus; }
    // The ring's rectangle in client pixels; empty when none is drawn.
    RECT GetFocusRingRect() const;
    void SetFocusRingColor(DWORD argb) { m_focusRingColor = argb; }
    void SetCapture(CControlUI* control) { m_pCapture = control; }
    CControlUI* GetHover() const { return m_pEventHover; }

    // --- DPI ---
    int GetDPI() const { return m_dpi; }
    double GetScale() const { return m_dpi / 96.0; }
    int Scale(int value) const;
    // Resizes the window by new/old scale (unless maximised), relayouts and posts the notice.
    void SetDPI(int dpi);
    void ResetDPIAssets();

    // --- fonts (ids of the skin and the program; shared ones serve every window) ---
    void RemoveAllFonts(bool shared = false);
    bool AddFont(int id, std::wstring_view face, int size, bool bold, bool underline, bool italic,
                 bool shared = false);
    void SetDefaultFont(std::wstring_view face, int size, bool bold, bool underline, bool italic,
                        bool shared = false);
    const ui::FontStyle& GetFont(int id) const;
    const ui::FontStyle& GetDefaultFontInfo() const;

    // --- named styles, default attributes, option groups ---
    void AddStyle(std::wstring_view name, std::wstring_view value, bool shared = false);
    CDuiString GetStyle(std::wstring_view name) const;
    void AddDefaultAttributeList(std::wstring_view controlClass, std::wstring_view list,
                                 bool shared = false);
    CDuiString GetDefaultAttributeList(std::wstring_view controlClass) const;
    bool AddOptionGroup(std::wstring_view group, CControlUI* control);
    std::vector<CControlUI*> GetOptionGroup(std::wstring_view group) const;
    void RemoveOptionGroup(std::wstring_view group, CControlUI* control);

    // A popup drawn above the tree and served input first (combo drop lists).
    void SetPopup(CControlUI* owner, const RECT& rc);
    CControlUI* GetPopupOwner() const { return m_pPopup; }
    RECT GetPopupRect() const { return m_rcPopup; }

    // Frees a record handed out through a message (the menu's command record).
    static void DeletePtr(void* ptr);

    // Called when a control leaves the tree: forgets focus, hover, capture, timers, groups.
    void ReapObjects(CControlUI* control);

    // The window's messages: input, timers, paint, size. True when handled.
    bool MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The current tooltip, shown after the mouse rests on a control.
    struct ToolTip {
        CDuiString title;
        CDuiString text;
        POINT at{};
    };
    const ToolTip* GetToolTip() const { return m_tooltip ? &*m_tooltip : nullptr; }
    // Takes the tooltip down, and one about to show; the next mouse move starts over.
    void HideToolTip();

private:
    struct TimerInfo {
        CControlUI* control;
        UINT id;
    };

    // wParam of the WM_PAINT the manager posts itself: only the damage is drawn. Any other
    // WM_PAINT (the window shown or exposed) draws and shows the whole frame.
    static constexpr WPARAM kDamagePaint = 1;
    static constexpr std::size_t kMaxDamageRects = 32;
    // Far above a keyboard's key count, so each changed key is drawn and shown on its own.
    static constexpr std::size_t kMaxPacedDamage = 1024;
    static constexpr std::size_t kMaxUnpresented = 1024;

    // A rectangle of paced damage; with a control, the control alone changed there.
    struct PacedDamage {
        RECT rc{};
        CControlUI* control = nullptr;
        bool operator==(const PacedDamage&) const = default;
    };

    void handleMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    void handleTimer(UINT_PTR id);
    void handlePaint(WPARAM wParam);
    void paintToolTip(ui::Canvas& canvas);
    void paintFocusRing(ui::Canvas& canvas);
    void showFocusRing(bool show);
    void invalidateFocusRing();
    // Esc, Tab, Enter and arrows that the window handles before (or instead of) the focus.
    bool handleNavigationKey(WPARAM key);
    void requestPaint();
    void addDamage(const RECT& rc);
    void addPacedDamage(const PacedDamage& damage);
    void flushPacedDamage();
    // The controls of the paced damage that can be drawn over their kept pictures; the rest
    // of it joins the damage.
    std::vector<CControlUI*> takePacedDamage();
    bool canDrawKeptPicture(const CControlUI& control) const;
    // One rectangle of the frame: the tree, from the root or over the kept picture of
    // `kept`, then what the manager draws above it.
    void paintRect(ui::Canvas& canvas, const RECT& rc, CControlUI* kept);
    // Lays the tree out when needed; false when there is nothing to paint.
    bool layOut();
    // Paints the damaged rectangles into the canvas and queues them to be shown.
    void paintDamage();
    void presentDamage();
    void sendFirstNotifications();

    HWND m_hWndPaint = nullptr;
    CDuiString m_name;
    CControlUI* m_pRoot = nullptr;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pCapture = nullptr;
    CControlUI* m_pPopup = nullptr;
    RECT m_rcPopup{};
    bool m_bUpdateNeeded = true;
    bool m_bFirstLayout = true;
    bool m_paintPosted = false;
    // Waiting to be painted: everything, or these rectangles.
    bool m_damageAll = true;
    std::vector<RECT> m_damage;
    // Painted into the canvas, not yet shown.
    std::vector<RECT> m_unpresented;
    std::vector<RECT> m_lastPresented;
    // Paced damage waiting for its frame, paced damage whose frame has come, and when the
    // last paced frame was due.
    std::vector<PacedDamage> m_pacedDamage;
    std::vector<PacedDamage> m_pacedDue;
    // The control being drawn over its kept picture.
    const CControlUI* m_keptPaint = nullptr;
    std::vector<const CControlUI*> m_keptPath; // the containers holding m_keptPaint
    bool m_pacedTimerSet = false;
    std::chrono::steady_clock::time_point m_lastPacedFrame;
    SIZE m_szInitWindowSize{};
    RECT m_rcCaption{};
    SIZE m_clientSize{};
    std::unique_ptr<ui::Canvas> m_canvas;
    std::vector<INotifyUI*> m_notifiers;
    std::vector<TNotifyUI> m_asyncNotify;
    // Notifications being delivered; a handler that deletes the sender clears pSender for
    // the notifiers after it.
    std::vector<TNotifyUI*> m_activeNotifications;
    int m_dpi = 96;

    mutable std::mutex m_timerLock; // guards the three members below; any thread may set timers
    std::map<UINT_PTR, TimerInfo> m_timers;
    UINT_PTR m_nextTimer = kControlTimerBase;
    bool m_windowReady = false;
    std::map<UINT_PTR, UINT> m_pendingPeriods; // timers set before the window existed
    bool m_shiftDown = false;
    bool m_controlDown = false;
    bool m_focusRingShown = false;
    DWORD m_focusRingColor = 0xFF1EA7FF;

    std::map<int, ui::FontStyle> m_fonts;
    ui::FontStyle m_defaultFont;
    bool m_hasDefaultFont = false;
    std::map<std::wstring, std::wstring> m_styles;
    std::map<std::wstring, std::wstring> m_defaultAttributes;
    std::map<std::wstring, std::vector<CControlUI*>> m_optionGroups;
    std::optional<ToolTip> m_tooltip;
    POINT m_lastMouse{};
};
