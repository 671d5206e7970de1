#include "ui/paint_manager_ui.h"

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "ui/combo_ui.h"
#include "ui/container_ui.h"
#include "ui/window_backend.h"

#include <algorithm>
#include <array>

namespace {

constexpr UINT kAsyncNotifyMessage = WM_USER + 199;
constexpr UINT_PTR kToolTipTimer = kControlTimerBase - 1;
constexpr auto kToolTipDelay = std::chrono::milliseconds(500);

struct ProcessState {
    std::mutex lock;
    void* instance = nullptr;
    std::wstring instancePath;
    std::wstring resourcePath;
    int resourceType = CPaintManagerUI::UILIB_FILE;
    std::vector<CPaintManagerUI*> managers;
    std::map<int, ui::FontStyle> sharedFonts;
    std::optional<ui::FontStyle> sharedDefaultFont;
    std::map<std::wstring, std::wstring> sharedStyles;
    std::map<std::wstring, std::wstring> sharedDefaultAttributes;
};

ProcessState& process()
{
    static ProcessState state;
    return state;
}

const ui::FontStyle kBuiltinDefaultFont{L"Noto Sans", 12, false, false, false};

bool isInside(const CControlUI* control, const CControlUI* ancestor)
{
    for (; control; control = control->GetParent()) {
        if (control == ancestor)
            return true;
    }
    return false;
}

DWORD tickCount()
{
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count());
}

} // namespace

namespace ui {
bool isAllowedDpi(int dpi)
{
    constexpr std::array allowed{48, 72, 96, 120, 144, 168, 192};
    return std::find(allowed.begin(), allowed.end(), dpi) != allowed.end();
}
} // namespace ui

CPaintManagerUI::CPaintManagerUI()
{
    std::lock_guard guard(process().lock);
    process().managers.push_back(this);
}

CPaintManagerUI::~CPaintManagerUI()
{
    RemoveAllTimers();
    // Controls reap themselves into this manager while the tree goes.
    delete m_pRoot;
    m_pRoot = nullptr;
    std::lock_guard guard(process().lock);
    std::erase(process().managers, this);
}

void CPaintManagerUI::SetInstance(void* instance)
{
    std::lock_guard guard(process().lock);
    process().instance = instance;
}

void* CPaintManagerUI::GetInstance()
{
    std::lock_guard guard(process().lock);
    return process().instance;
}

CDuiString CPaintManagerUI::GetInstancePath()
{
    std::lock_guard guard(process().lock);
    // Until start-up says otherwise, the folder the program's data ships in.
    if (process().instancePath.empty())
        process().instancePath = platform::toWide(platform::programFolder()) + L"/";
    return process().instancePath;
}

void CPaintManagerUI::SetInstancePath(std::wstring_view path)
{
    std::wstring value(path);
    if (!value.empty() && value.back() != L'/' && value.back() != L'\\')
        value.push_back(L'/');
    std::lock_guard guard(process().lock);
    process().instancePath = value;
}

CDuiString CPaintManagerUI::GetResourcePath()
{
    std::lock_guard guard(process().lock);
    return process().resourcePath;
}

void CPaintManagerUI::SetResourcePath(std::wstring_view path)
{
    std::wstring value(path);
    for (auto& c : value) {
        if (c == L'\\')
            c = L'/';
    }
    if (!value.empty() && value.back() != L'/')
        value.push_back(L'/');
    std::lock_guard guard(process().lock);
    process().resourcePath = value;
}

void CPaintManagerUI::SetResourceType(int type)
{
    std::lock_guard guard(process().lock);
    process().resourceType = type;
}

int CPaintManagerUI::GetResourceType()
{
    std::lock_guard guard(process().lock);
    return process().resourceType;
}

void CPaintManagerUI::SetResourceZip(std::wstring_view, bool, const char*)
{
    platform::debugOutput(L"skin archives are not supported; use skin files");
}

void CPaintManagerUI::SetResourceZip(const void*, unsigned int)
{
    platform::debugOutput(L"skin archives are not supported; use skin files");
}

int CPaintManagerUI::MessageLoop()
{
    auto& queue = platform::MessageQueue::current();
    platform::Message message;
    while (queue.getMessage(message))
        queue.dispatchMessage(message);
    return static_cast<int>(message.wParam);
}

void CPaintManagerUI::SetAllDPI(int dpi)
{
    for (CPaintManagerUI* manager : GetPaintManagers())
        manager->SetDPI(dpi);
}

std::vector<CPaintManagerUI*> CPaintManagerUI::GetPaintManagers()
{
    std::lock_guard guard(process().lock);
    return process().managers;
}

void CPaintManagerUI::Init(HWND hwnd, std::wstring_view name)
{
    m_name = name;
    std::map<UINT_PTR, UINT> pending;
    {
        std::lock_guard guard(m_timerLock);
        m_hWndPaint = hwnd;
        m_windowReady = hwnd != nullptr;
        pending.swap(m_pendingPeriods);
    }
    // Timers asked for before the window existed start now.
    for (const auto& [key, period] : pending)
        platform::setTimer(hwnd, key, std::chrono::milliseconds(period));
}

bool CPaintManagerUI::AttachDialog(CControlUI* root)
{
    if (!root)
        return false;
    SetFocus(nullptr);
    m_pEventHover = m_pEventClick = m_pCapture = nullptr;
    delete m_pRoot;
    m_pRoot = root;
    m_pRoot->SetManager(this, nullptr, true);
    m_pRoot->Init();
    m_bFirstLayout = true;
    NeedUpdate();
    return true;
}

SIZE CPaintManagerUI::GetClientSize() const
{
    if (m_clientSize.cx > 0 && m_clientSize.cy > 0)
        return m_clientSize;
    return SIZE{Scale(m_szInitWindowSize.cx), Scale(m_szInitWindowSize.cy)};
}

void CPaintManagerUI::SetClientSize(SIZE size)
{
    if (size.cx == m_clientSize.cx && size.cy == m_clientSize.cy)
        return;
    m_clientSize = size;
    NeedUpdate();
}

namespace {
CControlUI* matchName(CControlUI* control, void* data)
{
    return control->GetName() == *static_cast<const std::wstring_view*>(data) ? control : nullptr;
}
CControlUI* matchNameNoCase(CControlUI* control, void* data)
{
    return platform::equalsIgnoreCase(control->GetName(),
                                      *static_cast<const std::wstring_view*>(data))
               ? control
               : nullptr;
}
CControlUI* matchAny(CControlUI* control, void*)
{
    return control;
}
} // namespace

CControlUI* CPaintManagerUI::FindControl(std::wstring_view name) const
{
    if (!m_pRoot || name.empty())
        return nullptr;
    return FindSubControlByName(m_pRoot, name);
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const
{
    if (!m_pRoot)
        return nullptr;
    return m_pRoot->FindControl(matchAny, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, std::wstring_view name) const
{
    if (!parent || name.empty())
        return nullptr;
    if (CControlUI* found = parent->FindControl(matchName, &name, UIFIND_ALL))
        return found;
    return parent->FindControl(matchNameNoCase, &name, UIFIND_ALL);
}

CControlUI* CPaintManagerUI::FindSubControlByClass(CControlUI* parent, std::wstring_view className,
                                                   int index) const
{
    if (!parent)
        return nullptr;
    struct Search {
        std::wstring_view className;
        int index;
    } search{className, index};
    return parent->FindControl(
        [](CControlUI* control, void* data) -> CControlUI* {
            auto* s = static_cast<Search*>(data);
            if (!platform::equalsIgnoreCase(control->GetClass(), s->className))
                return nullptr;
            return s->index-- == 0 ? control : nullptr;
        },
        &search, UIFIND_ALL);
}

bool CPaintManagerUI::IsCaptionAt(POINT pt) const
{
    if (m_rcCaption.bottom <= 0 && m_rcCaption.top <= 0)
        return false;
    const SIZE client = GetClientSize();
    const RECT caption{Scale(m_rcCaption.left), Scale(m_rcCaption.top),
                       client.cx - Scale(m_rcCaption.right), Scale(m_rcCaption.bottom)};
    if (!PtInRect(caption, pt))
        return false;
    for (CControlUI* control = FindControl(pt); control; control = control->GetParent()) {
        for (const wchar_t* clickable : {L"Button", L"Edit", L"Combo", L"Slider", L"ListItem"}) {
            if (control->GetInterface(clickable))
                return false;
        }
    }
    return true;
}

void CPaintManagerUI::NeedUpdate()
{
    m_bUpdateNeeded = true;
    requestPaint();
}

void CPaintManagerUI::Invalidate()
{
    requestPaint();
}

void CPaintManagerUI::Invalidate(const RECT&)
{
    requestPaint();
}

void CPaintManagerUI::requestPaint()
{
    if (m_paintPosted || !m_hWndPaint)
        return;
    m_paintPosted = platform::postMessage(m_hWndPaint, WM_PAINT, 0, 0);
}

void CPaintManagerUI::Paint()
{
    if (!m_pRoot)
        return;
    const SIZE client = GetClientSize();
    if (client.cx <= 0 || client.cy <= 0)
        return;
    if (!m_canvas || m_canvas->width() != client.cx || m_canvas->height() != client.cy) {
        m_canvas = ui::createImageCanvas(client.cx, client.cy);
        m_bUpdateNeeded = true;
    }
    if (m_bUpdateNeeded) {
        m_bUpdateNeeded = false;
        m_pRoot->SetPos(RECT{0, 0, client.cx, client.cy}, false);
        if (m_bFirstLayout) {
            m_bFirstLayout = false;
            SendNotify(m_pRoot, L"windowinit");
            // The window may have rebuilt or resized itself in its handler.
            if (!m_pRoot)
                return;
            if (m_bUpdateNeeded) {
                m_bUpdateNeeded = false;
                m_pRoot->SetPos(RECT{0, 0, client.cx, client.cy}, false);
            }
        }
    }
    ui::Canvas& canvas = *m_canvas;
    canvas.clear(0xFFFFFFFF);
    const RECT all{0, 0, client.cx, client.cy};
    m_pRoot->DoPaint(canvas, all);
    if (m_pPopup) {
        if (auto* popup = static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")))
            popup->PaintPopup(canvas);
    }
    if (m_tooltip)
        paintToolTip(canvas);
}

void CPaintManagerUI::paintToolTip(ui::Canvas& canvas)
{
    const ui::FontStyle& font = GetDefaultFontInfo();
    ui::FontStyle bold = font;
    bold.bold = true;
    const double scale = GetScale();
    const int pad = Scale(4);
    const int maxWidth = Scale(300);
    const SIZE titleSize = m_tooltip->title.empty()
                               ? SIZE{}
                               : canvas.measureText(m_tooltip->title, bold, scale, maxWidth);
    const SIZE textSize = canvas.measureText(m_tooltip->text, font, scale, maxWidth);
    const int width = std::max(titleSize.cx, textSize.cx) + 2 * pad;
    const int height = titleSize.cy + textSize.cy + 2 * pad;
    int left = m_tooltip->at.x;
    int top = m_tooltip->at.y + Scale(20);
    if (left + width > canvas.width())
        left = std::max(0, canvas.width() - width);
    if (top + height > canvas.height())
        top = std::max(0, m_tooltip->at.y - height - Scale(4));
    const RECT box{left, top, left + width, top + height};
    // The skin's dark panel colours, so a tip does not flash light over the dark window.
    canvas.fillRect(box, 0xFF1A2029);
    canvas.strokeRect(box, 1, 0xFF2D3640);
    if (!m_tooltip->title.empty())
        canvas.drawText(RECT{left + pad, top + pad, box.right - pad, top + pad + titleSize.cy},
                        m_tooltip->title, bold, scale, 0xFFFFFFFF, DT_WORDBREAK);
    canvas.drawText(RECT{left + pad, top + pad + titleSize.cy, box.right - pad, box.bottom - pad},
                    m_tooltip->text, font, scale, 0xFFC9D1D9, DT_WORDBREAK);
}

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier)
{
    if (!notifier ||
        std::find(m_notifiers.begin(), m_notifiers.end(), notifier) != m_notifiers.end())
        return false;
    m_notifiers.push_back(notifier);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier)
{
    return std::erase(m_notifiers, notifier) > 0;
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool async)
{
    msg.ptMouse = m_lastMouse;
    msg.dwTimestamp = tickCount();
    if (msg.sVirtualWnd.empty() && msg.pSender)
        msg.sVirtualWnd = msg.pSender->GetVirtualWnd();
    if (async && m_hWndPaint) {
        m_asyncNotify.push_back(msg);
        platform::postMessage(m_hWndPaint, kAsyncNotifyMessage, 0, 0);
        return;
    }
    // A notifier may add or remove notifiers; the others still get this one.
    const auto notifiers = m_notifiers;
    m_activeNotifications.push_back(&msg);
    for (INotifyUI* notifier : notifiers) {
        if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) != m_notifiers.end())
            notifier->Notify(msg);
    }
    m_activeNotifications.pop_back();
}

void CPaintManagerUI::SendNotify(CControlUI* control, std::wstring_view type, WPARAM wParam,
                                 LPARAM lParam, bool async)
{
    TNotifyUI msg;
    msg.pSender = control;
    msg.sType = type;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, async);
}

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapse)
{
    if (!control)
        return false;
    std::lock_guard guard(m_timerLock);
    UINT_PTR key = 0;
    for (const auto& [k, info] : m_timers) {
        if (info.control == control && info.id == id) {
            key = k;
            break;
        }
    }
    if (key == 0) {
        key = m_nextTimer++;
        m_timers[key] = TimerInfo{control, id};
    }
    if (!m_windowReady) {
        m_pendingPeriods[key] = elapse;
        return true;
    }
    return platform::setTimer(m_hWndPaint, key, std::chrono::milliseconds(elapse));
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT id)
{
    std::lock_guard guard(m_timerLock);
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.control == control && it->second.id == id) {
            if (m_windowReady)
                platform::killTimer(m_hWndPaint, it->first);
            m_pendingPeriods.erase(it->first);
            m_timers.erase(it);
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* control)
{
    std::lock_guard guard(m_timerLock);
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->second.control == control) {
            if (m_windowReady)
                platform::killTimer(m_hWndPaint, it->first);
            m_pendingPeriods.erase(it->first);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

void CPaintManagerUI::RemoveAllTimers()
{
    std::lock_guard guard(m_timerLock);
    if (m_windowReady) {
        for (const auto& [key, info] : m_timers)
            platform::killTimer(m_hWndPaint, key);
    }
    m_timers.clear();
    m_pendingPeriods.clear();
}

void CPaintManagerUI::handleTimer(UINT_PTR key)
{
    TimerInfo info{};
    {
        std::lock_guard guard(m_timerLock);
        const auto found = m_timers.find(key);
        if (found == m_timers.end()) {
            platform::killTimer(m_hWndPaint, key);
            return;
        }
        info = found->second;
    }
    TEventUI event;
    event.Type = UIEVENT_TIMER;
    event.pSender = info.control;
    event.dwTimestamp = tickCount();
    event.ptMouse = m_lastMouse;
    event.wParam = info.id;
    info.control->Event(event);
}

void CPaintManagerUI::SetFocus(CControlUI* control)
{
    if (control && (!control->IsVisible() || !control->IsEnabled()))
        control = nullptr;
    if (control == m_pFocus)
        return;
    const auto alive = control ? control->GetLifetime() : std::weak_ptr<const int>();
    if (CControlUI* old = m_pFocus) {
        m_pFocus = nullptr;
        TEventUI event;
        event.Type = UIEVENT_KILLFOCUS;
        event.pSender = control;
        event.dwTimestamp = tickCount();
        old->Event(event);
    }
    // The old control's handler may have moved focus itself, or deleted the new one.
    if (m_pFocus || (control && alive.expired()))
        return;
    m_pFocus = control;
    if (control) {
        TEventUI event;
        event.Type = UIEVENT_SETFOCUS;
        event.pSender = control;
        event.dwTimestamp = tickCount();
        control->Event(event);
    }
}

bool CPaintManagerUI::SetNextTabControl(bool forward)
{
    if (!m_pRoot)
        return false;
    std::vector<CControlUI*> stops;
    m_pRoot->FindControl(
        [](CControlUI* control, void* data) -> CControlUI* {
            if ((control->GetControlFlags() & UIFLAG_TABSTOP) != 0 && control->IsEnabled())
                static_cast<std::vector<CControlUI*>*>(data)->push_back(control);
            return nullptr;
        },
        &stops, UIFIND_VISIBLE | UIFIND_ENABLED);
    if (stops.empty())
        return false;
    const auto current = std::find(stops.begin(), stops.end(), m_pFocus);
    std::size_t next = 0;
    if (current != stops.end()) {
        const std::size_t at = static_cast<std::size_t>(current - stops.begin());
        next = forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
    } else if (!forward) {
        next = stops.size() - 1;
    }
    SetFocus(stops[next]);
    return true;
}

int CPaintManagerUI::Scale(int value) const
{
    if (m_dpi == 96)
        return value;
    return static_cast<int>((static_cast<long long>(value) * m_dpi + (value >= 0 ? 48 : -48)) / 96);
}

void CPaintManagerUI::SetDPI(int dpi)
{
    if (dpi <= 0 || dpi == m_dpi)
        return;
    const int old = m_dpi;
    m_dpi = dpi;
    if (m_hWndPaint)
        ui::rescaleWindow(m_hWndPaint, old, dpi);
    ui::resetRenderCaches();
    NeedUpdate();
    if (m_pRoot)
        m_pRoot->NeedUpdate();
    if (m_hWndPaint)
        platform::postMessage(m_hWndPaint, UIMSG_SET_DPI, static_cast<WPARAM>(dpi), 0);
}

void CPaintManagerUI::ResetDPIAssets()
{
    ui::resetRenderCaches();
    NeedUpdate();
}

void CPaintManagerUI::RemoveAllFonts(bool shared)
{
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedFonts.clear();
        process().sharedDefaultFont.reset();
    } else {
        m_fonts.clear();
        m_hasDefaultFont = false;
    }
    Invalidate();
}

bool CPaintManagerUI::AddFont(int id, std::wstring_view face, int size, bool bold, bool underline,
                              bool italic, bool shared)
{
    ui::FontStyle font{std::wstring(face), size > 0 ? size : 12, bold, underline, italic};
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedFonts[id] = font;
    } else {
        m_fonts[id] = font;
    }
    Invalidate();
    return true;
}

void CPaintManagerUI::SetDefaultFont(std::wstring_view face, int size, bool bold, bool underline,
                                     bool italic, bool shared)
{
    ui::FontStyle font{std::wstring(face), size > 0 ? size : 12, bold, underline, italic};
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedDefaultFont = font;
    } else {
        m_defaultFont = font;
        m_hasDefaultFont = true;
    }
    Invalidate();
}

const ui::FontStyle& CPaintManagerUI::GetFont(int id) const
{
    if (id >= 0) {
        if (const auto found = m_fonts.find(id); found != m_fonts.end())
            return found->second;
        std::lock_guard guard(process().lock);
        if (const auto found = process().sharedFonts.find(id); found != process().sharedFonts.end())
            return found->second;
    }
    return GetDefaultFontInfo();
}

const ui::FontStyle& CPaintManagerUI::GetDefaultFontInfo() const
{
    if (m_hasDefaultFont)
        return m_defaultFont;
    std::lock_guard guard(process().lock);
    if (process().sharedDefaultFont)
        return *process().sharedDefaultFont;
    return kBuiltinDefaultFont;
}

void CPaintManagerUI::AddStyle(std::wstring_view name, std::wstring_view value, bool shared)
{
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedStyles[std::wstring(name)] = value;
    } else {
        m_styles[std::wstring(name)] = value;
    }
}

CDuiString CPaintManagerUI::GetStyle(std::wstring_view name) const
{
    if (const auto found = m_styles.find(std::wstring(name)); found != m_styles.end())
        return found->second;
    std::lock_guard guard(process().lock);
    if (const auto found = process().sharedStyles.find(std::wstring(name));
        found != process().sharedStyles.end())
        return found->second;
    return CDuiString();
}

void CPaintManagerUI::AddDefaultAttributeList(std::wstring_view controlClass,
                                              std::wstring_view list, bool shared)
{
    const std::wstring key = platform::toLower(controlClass);
    if (shared) {
        std::lock_guard guard(process().lock);
        process().sharedDefaultAttributes[key] = list;
    } else {
        m_defaultAttributes[key] = list;
    }
}

CDuiString CPaintManagerUI::GetDefaultAttributeList(std::wstring_view controlClass) const
{
    const std::wstring key = platform::toLower(controlClass);
    if (const auto found = m_defaultAttributes.find(key); found != m_defaultAttributes.end())
        return found->second;
    std::lock_guard guard(process().lock);
    if (const auto found = process().sharedDefaultAttributes.find(key);
        found != process().sharedDefaultAttributes.end())
        return found->second;
    return CDuiString();
}

bool CPaintManagerUI::AddOptionGroup(std::wstring_view group, CControlUI* control)
{
    auto& members = m_optionGroups[std::wstring(group)];
    if (std::find(members.begin(), members.end(), control) != members.end())
        return false;
    members.push_back(control);
    return true;
}

std::vector<CControlUI*> CPaintManagerUI::GetOptionGroup(std::wstring_view group) const
{
    const auto found = m_optionGroups.find(std::wstring(group));
    return found == m_optionGroups.end() ? std::vector<CControlUI*>{} : found->second;
}

void CPaintManagerUI::RemoveOptionGroup(std::wstring_view group, CControlUI* control)
{
    const auto found = m_optionGroups.find(std::wstring(group));
    if (found == m_optionGroups.end())
        return;
    std::erase(found->second, control);
    if (found->second.empty())
        m_optionGroups.erase(found);
}

void CPaintManagerUI::SetPopup(CControlUI* owner, const RECT& rc)
{
    if (m_pPopup && m_pPopup != owner) {
        CControlUI* old = m_pPopup;
        m_pPopup = nullptr;
        if (auto* popup = static_cast<IPopupUI*>(old->GetInterface(L"Popup")))
            popup->ClosePopup();
    }
    m_pPopup = owner;
    m_rcPopup = owner ? rc : RECT{};
    if (m_pEventHover && owner && !isInside(m_pEventHover, owner))
        m_pEventHover = nullptr;
    Invalidate();
}

void CPaintManagerUI::ReapObjects(CControlUI* control)
{
    if (!control)
        return;
    if (isInside(m_pFocus, control))
        m_pFocus = nullptr;
    if (isInside(m_pEventHover, control))
        m_pEventHover = nullptr;
    if (isInside(m_pEventClick, control))
        m_pEventClick = nullptr;
    if (isInside(m_pCapture, control))
        m_pCapture = nullptr;
    if (isInside(m_pPopup, control)) {
        m_pPopup = nullptr;
        m_rcPopup = RECT{};
    }
    for (TNotifyUI* active : m_activeNotifications) {
        if (isInside(active->pSender, control))
            active->pSender = nullptr;
    }
    KillTimer(control);
    for (auto it = m_optionGroups.begin(); it != m_optionGroups.end();) {
        std::erase(it->second, control);
        it = it->second.empty() ? m_optionGroups.erase(it) : std::next(it);
    }
    if (m_pRoot == control)
        m_pRoot = nullptr;
}

namespace {

TEventUI makeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0)
{
    TEventUI event;
    event.Type = type;
    event.pSender = sender;
    event.dwTimestamp = tickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    return event;
}

} // namespace

void CPaintManagerUI::handleMouse(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_lastMouse = pt;
    auto* popup = m_pPopup ? static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")) : nullptr;
    const bool inPopup = popup && PtInRect(m_rcPopup, pt);
    CControlUI* target = inPopup ? popup->PopupControlAt(pt) : (popup ? nullptr : FindControl(pt));

    switch (msg) {
    case WM_MOUSEMOVE: {
        if (m_tooltip) {
            m_tooltip.reset();
            Invalidate();
        }
        if (m_hWndPaint)
            platform::setTimer(m_hWndPaint, kToolTipTimer, kToolTipDelay);
        if (popup && !inPopup)
            target = FindControl(pt) == m_pPopup ? m_pPopup : nullptr;
        if (target != m_pEventHover) {
            if (CControlUI* old = m_pEventHover) {
                m_pEventHover = nullptr;
                auto leave = makeEvent(UIEVENT_MOUSELEAVE, old, pt);
                old->Event(leave);
            }
            m_pEventHover = target;
            if (target) {
                auto enter = makeEvent(UIEVENT_MOUSEENTER, target, pt);
                target->Event(enter);
            }
        }
        CControlUI* receiver = m_pEventClick ? m_pEventClick : m_pEventHover;
        if (receiver) {
            auto move = makeEvent(UIEVENT_MOUSEMOVE, receiver, pt, wParam, lParam);
            receiver->Event(move);
        }
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (popup && !inPopup) {
            // A press outside the open list only closes it.
            popup->ClosePopup();
            if (FindControl(pt) == m_pPopup || !m_pPopup)
                return;
            return;
        }
        if (!target)
            return;
        if (!inPopup) {
            const auto alive = target->GetLifetime();
            SetFocus(target);
            if (alive.expired())
                return;
        }
        m_pEventClick = target;
        auto event = makeEvent(msg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK,
                               target, pt, wParam, lParam);
        target->Event(event);
        return;
    }
    case WM_LBUTTONUP: {
        CControlUI* click = m_pEventClick;
        m_pEventClick = nullptr;
        if (click) {
            auto event = makeEvent(UIEVENT_BUTTONUP, click, pt, wParam, lParam);
            click->Event(event);
        }
        return;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        if (target) {
            auto event = makeEvent(msg == WM_RBUTTONDOWN ? UIEVENT_RBUTTONDOWN : UIEVENT_RBUTTONUP,
                                   target, pt, wParam, lParam);
            target->Event(event);
        }
        return;
    case WM_MOUSEWHEEL:
        if (target) {
            auto event = makeEvent(UIEVENT_SCROLLWHEEL, target, pt, wParam, lParam);
            target->Event(event);
        }
        return;
    default:
        return;
    }
}

bool CPaintManagerUI::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_PAINT:
        m_paintPosted = false;
        Paint();
        if (m_canvas && m_hWndPaint)
            ui::presentWindow(m_hWndPaint, *m_canvas);
        return true;
    case WM_NCHITTEST:
        result =
            IsCaptionAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) ? HTCAPTION : HTCLIENT;
        return true;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED)
            return false;
        SetClientSize(SIZE{LOWORD(static_cast<std::uintptr_t>(lParam)),
                           HIWORD(static_cast<std::uintptr_t>(lParam))});
        if (m_pRoot && !m_bFirstLayout)
            SendNotify(m_pRoot, L"windowsize");
        return false;
    case WM_TIMER:
        if (wParam == kToolTipTimer) {
            platform::killTimer(m_hWndPaint, kToolTipTimer);
            if (m_pEventHover && !m_pEventClick) {
                const CDuiString text = m_pEventHover->GetToolTip();
                if (!text.empty()) {
                    m_tooltip = ToolTip{m_pEventHover->GetToolTipTitle(), text, m_lastMouse};
                    Invalidate();
                }
            }
            return true;
        }
        if (wParam >= kControlTimerBase) {
            handleTimer(wParam);
            return true;
        }
        return false;
    case kAsyncNotifyMessage: {
        auto pending = std::move(m_asyncNotify);
        m_asyncNotify.clear();
        for (auto& notify : pending)
            SendNotify(notify, false);
        return true;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEWHEEL:
        if (m_bUpdateNeeded)
            Paint();
        handleMouse(msg, wParam, lParam);
        return true;
    case WM_MOUSELEAVE:
        if (CControlUI* old = m_pEventHover) {
            m_pEventHover = nullptr;
            auto leave = makeEvent(UIEVENT_MOUSELEAVE, old, m_lastMouse);
            old->Event(leave);
        }
        if (m_tooltip) {
            m_tooltip.reset();
            Invalidate();
        }
        return false;
    case WM_KEYDOWN:
        if (wParam == VK_SHIFT) {
            m_shiftDown = true;
            return true;
        }
        if (wParam == VK_CONTROL) {
            m_controlDown = true;
            return true;
        }
        if (wParam == VK_TAB) {
            SetNextTabControl(!m_shiftDown);
            return true;
        }
        if (wParam == VK_ESCAPE && m_pPopup) {
            if (auto* popup = static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")))
                popup->ClosePopup();
            return true;
        }
        if (m_pFocus) {
            auto event = makeEvent(UIEVENT_KEYDOWN, m_pFocus, m_lastMouse, wParam, lParam);
            event.chKey = static_cast<wchar_t>(wParam);
            event.wKeyState = static_cast<std::uint16_t>((m_shiftDown ? MK_SHIFT : 0) |
                                                         (m_controlDown ? MK_CONTROL : 0));
            m_pFocus->Event(event);
            return true;
        }
        return false;
    case WM_KEYUP:
        if (wParam == VK_SHIFT)
            m_shiftDown = false;
        if (wParam == VK_CONTROL)
            m_controlDown = false;
        if (m_pFocus) {
            auto event = makeEvent(UIEVENT_KEYUP, m_pFocus, m_lastMouse, wParam, lParam);
            event.chKey = static_cast<wchar_t>(wParam);
            m_pFocus->Event(event);
            return true;
        }
        return false;
    case WM_CHAR:
        if (m_pFocus) {
            auto event = makeEvent(UIEVENT_CHAR, m_pFocus, m_lastMouse, wParam, lParam);
            event.chKey = static_cast<wchar_t>(wParam);
            m_pFocus->Event(event);
            return true;
        }
        return false;
    case WM_KILLFOCUS:
        m_shiftDown = false;
        m_controlDown = false;
        if (m_pPopup) {
            if (auto* popup = static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")))
                popup->ClosePopup();
        }
        return false;
    default:
        return false;
    }
}
