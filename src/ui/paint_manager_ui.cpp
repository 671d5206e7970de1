#include "ui/paint_manager_ui.h"

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "ui/paint_manager_shared.h"
#include "ui/popup_ui.h"
#include "ui/render.h"

#include <algorithm>

namespace ui::detail {

PaintProcess& process()
{
    static PaintProcess state;
    return state;
}

DWORD tickCount()
{
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count());
}

} // namespace ui::detail

using ui::detail::process;
using ui::detail::tickCount;

namespace {

bool isInside(const CControlUI* control, const CControlUI* ancestor)
{
    for (; control; control = control->GetParent()) {
        if (control == ancestor)
            return true;
    }
    return false;
}

} // namespace

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
    {
        std::lock_guard guard(process().lock);
        if (process().resourcePath == value)
            return;
        process().resourcePath = value;
    }
    // Images are cached by the names the skin gives, which now stand for other files.
    ui::resetRenderCaches();
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
        platform::postMessage(m_hWndPaint, ui::detail::kAsyncNotifyMessage, 0, 0);
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

std::size_t CPaintManagerUI::GetTimerCount() const
{
    std::lock_guard guard(m_timerLock);
    return m_timers.size();
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

void CPaintManagerUI::SetPopup(CControlUI* owner, const RECT& rc)
{
    if (m_pPopup && m_pPopup != owner) {
        CControlUI* old = m_pPopup;
        m_pPopup = nullptr;
        if (auto* popup = static_cast<IPopupUI*>(old->GetInterface(L"Popup")))
            popup->ClosePopup();
    }
    if (owner)
        HideToolTip();
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
    // Its place is still drawn again, from the tree as it is by then.
    for (auto* paced : {&m_pacedDamage, &m_pacedDue}) {
        for (PacedDamage& damage : *paced) {
            if (damage.control && isInside(damage.control, control))
                damage.control = nullptr;
        }
    }
    for (auto it = m_optionGroups.begin(); it != m_optionGroups.end();) {
        std::erase(it->second, control);
        it = it->second.empty() ? m_optionGroups.erase(it) : std::next(it);
    }
    if (m_pRoot == control)
        m_pRoot = nullptr;
}
