#include "ui/window_wnd.h"

#include "platform/message_queue.h"
#include "ui/paint_manager_ui.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>

namespace {

// Windows live on the UI thread; the map is only touched there.
std::map<HWND, CWindowWnd*>& windows()
{
    static std::map<HWND, CWindowWnd*> map;
    return map;
}

CPaintManagerUI* managerOf(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    for (CPaintManagerUI* manager : CPaintManagerUI::GetPaintManagers())
        if (manager->GetPaintWindow() == hwnd)
            return manager;
    return nullptr;
}

bool isInputMessage(UINT msg)
{
    return (msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL) || msg == WM_KEYDOWN || msg == WM_KEYUP ||
           msg == WM_CHAR;
}

} // namespace

LRESULT windowProc(CWindowWnd* window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!window->m_inputEnabled && (isInputMessage(msg) || msg == WM_MANAGERCLOSE)) {
        // A click on a window that waits for its dialog brings the dialog forward
        // instead of doing nothing, so the program never looks frozen. The window
        // manager's close does the same: the close button cannot be pressed either.
        if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MANAGERCLOSE) {
            if (CWindowWnd* dialog = ui::windowFromHandle(window->m_modalChild))
                dialog->BringToFront();
        }
        return 0;
    }
    // Only windows whose class asks for double clicks get them; others see two presses.
    if (msg == WM_LBUTTONDBLCLK && (window->GetClassStyle() & CS_DBLCLKS) == 0)
        msg = WM_LBUTTONDOWN;
    ++window->m_handlersRunning;
    const LRESULT result = window->HandleMessage(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        window->Detach();
        window->m_finalPending = true;
    }
    // A window closed from inside one of its own handlers (a prompt's loop run from a click
    // lets its focus loss close it) may free itself only once that handler has returned.
    if (--window->m_handlersRunning == 0 && window->m_finalPending) {
        window->m_finalPending = false;
        window->OnFinalMessage(hwnd);
    }
    return result;
}

LRESULT defaultWindowProc(CWindowWnd* window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        ui::destroyWindow(window->m_hWnd);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            if (window->m_native)
                window->m_native->setState(ui::ShowState::Minimized);
            return 0;
        case SC_MAXIMIZE:
            if (window->m_native && window->m_native->state() != ui::ShowState::Maximized) {
                window->m_restoreRect = window->GetWindowRect();
                window->m_native->setState(ui::ShowState::Maximized);
                window->MoveWindow(ui::windowBackend().workArea());
            }
            return 0;
        case SC_RESTORE:
            if (window->m_native) {
                const bool wasMaximized = window->m_native->state() == ui::ShowState::Maximized;
                window->m_native->setState(ui::ShowState::Normal);
                if (wasMaximized)
                    window->MoveWindow(window->m_restoreRect);
                // Nothing was drawn while minimised.
                window->PostMessage(WM_PAINT);
            }
            return 0;
        case SC_CLOSE:
            window->SendMessage(WM_CLOSE);
            return 0;
        default:
            return 0;
        }
    case WM_MANAGERCLOSE:
        window->SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SETICON:
        // lParam carries the icon's resource id; drawn at the size desktops use most.
        if (window->m_native) {
            window->m_iconId = static_cast<UINT>(lParam);
            constexpr int kIconSize = 64;
            if (const auto icon = ui::loadIconResource(window->m_iconId, kIconSize))
                window->m_native->setIcon(*icon);
        }
        return 0;
    default:
        return 0;
    }
}

CWindowWnd::~CWindowWnd()
{
    // Destroyed without its window closing (a window on the stack, or the main window after
    // the loop ended): what it owns ends first, then it lets go quietly, without messages to
    // a half-destroyed object.
    if (m_hWnd) {
        ui::destroyOwnedWindows(m_hWnd);
        Detach();
    }
}

void CWindowWnd::Detach()
{
    if (!m_hWnd)
        return;
    windows().erase(m_hWnd);
    m_native.reset();
    platform::MessageQueue::current().destroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

HWND CWindowWnd::Create(HWND parent, std::wstring_view name, DWORD style, DWORD, int x, int y,
                        int cx, int cy, void*)
{
    if (m_hWnd)
        return m_hWnd;
    m_owner = parent;
    m_title = name;
    auto& queue = platform::MessageQueue::current();
    m_hWnd = queue.createWindow([this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return windowProc(this, hwnd, msg, wParam, lParam);
    });
    windows()[m_hWnd] = this;
    const bool defaultSize = cx == CW_USEDEFAULT || cy == CW_USEDEFAULT || cx <= 0 || cy <= 0;
    const RECT rc{x == CW_USEDEFAULT ? 0 : x, y == CW_USEDEFAULT ? 0 : y,
                  (x == CW_USEDEFAULT ? 0 : x) + (defaultSize ? 1 : cx),
                  (y == CW_USEDEFAULT ? 0 : y) + (defaultSize ? 1 : cy)};
    const CWindowWnd* owner = ui::windowFromHandle(parent);
    m_native =
        ui::windowBackend().createWindow(m_hWnd, name, rc, owner ? owner->m_native.get() : nullptr);
    const HWND hwnd = m_hWnd;
    if (SendMessage(WM_CREATE, 0, 0) == -1) {
        ui::destroyWindow(hwnd);
        return nullptr;
    }
    if (!platform::isWindow(hwnd))
        return nullptr;
    if (defaultSize) {
        SIZE size{400, 300};
        for (CPaintManagerUI* manager : CPaintManagerUI::GetPaintManagers()) {
            if (manager->GetPaintWindow() == hwnd && manager->GetInitSize().cx > 0)
                size = SIZE{manager->Scale(manager->GetInitSize().cx),
                            manager->Scale(manager->GetInitSize().cy)};
        }
        // Where WM_CREATE placed the window (beside a button, say), not where it began.
        const RECT placed = GetWindowRect();
        MoveWindow(RECT{placed.left, placed.top, placed.left + size.cx, placed.top + size.cy});
    } else {
        SendMessage(WM_SIZE, 0, MAKELPARAM(cx, cy));
    }
    // An owned window is drawn at its owner's scale, so a dialog or menu never reads smaller
    // than the window that opened it.
    CPaintManagerUI* manager = managerOf(hwnd);
    const CPaintManagerUI* ownerManager = managerOf(parent);
    if (manager && ownerManager && ui::isAllowedDpi(ownerManager->GetDPI()))
        manager->SetDPI(ownerManager->GetDPI());
    if ((style & WS_VISIBLE) != 0)
        ShowWindow(true, true);
    return m_hWnd;
}

HWND CWindowWnd::Create(HWND parent, std::wstring_view name, DWORD style, DWORD exStyle,
                        const RECT& rc, void* menu)
{
    return Create(parent, name, style, exStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top, menu);
}

void CWindowWnd::ShowWindow(bool show, bool)
{
    if (!m_native)
        return;
    if (show) {
        if (m_native->state() == ui::ShowState::Hidden ||
            m_native->state() == ui::ShowState::Minimized)
            m_native->setState(ui::ShowState::Normal);
        // A window coming up (a dialog, a menu) takes the user's eye: no tooltip of another
        // window may stay over or beside it.
        for (CPaintManagerUI* manager : CPaintManagerUI::GetPaintManagers())
            if (manager->GetPaintWindow() != m_hWnd)
                manager->HideToolTip();
    } else {
        m_native->setState(ui::ShowState::Hidden);
    }
    SendMessage(WM_SHOWWINDOW, show ? 1 : 0, 0);
    if (show)
        PostMessage(WM_PAINT);
}

UINT CWindowWnd::ShowModal()
{
    const HWND hwnd = m_hWnd;
    if (!hwnd)
        return 0;
    CWindowWnd* owner = ui::windowFromHandle(m_owner);
    const HWND ownerHandle = m_owner;
    HWND previousModal = nullptr;
    if (owner) {
        owner->m_inputEnabled = false;
        previousModal = owner->m_modalChild;
        owner->m_modalChild = hwnd;
    }
    ShowWindow(true, true);
    // Only locals from here: the window may delete itself when it closes.
    auto& queue = platform::MessageQueue::current();
    UINT code = 0;
    bool quit = false;
    int quitCode = 0;
    platform::Message message;
    while (platform::isWindow(hwnd)) {
        if (!queue.getMessage(message)) {
            quit = true;
            quitCode = static_cast<int>(message.wParam);
            break;
        }
        if (message.message == WM_CLOSE && message.hwnd == hwnd)
            code = static_cast<UINT>(message.wParam);
        queue.dispatchMessage(message);
    }
    if (CWindowWnd* stillOwner = ui::windowFromHandle(ownerHandle)) {
        stillOwner->m_inputEnabled = true;
        stillOwner->m_modalChild = previousModal;
    }
    if (quit)
        queue.postQuitMessage(quitCode);
    return code;
}

void CWindowWnd::SetWindowText(std::wstring_view title)
{
    if (title.empty() || title == m_title)
        return;
    m_title = title;
    if (m_native)
        m_native->setTitle(title);
}

void CWindowWnd::Close(UINT code)
{
    if (m_hWnd)
        platform::postMessage(m_hWnd, WM_CLOSE, code, 0);
}

void CWindowWnd::CenterWindow()
{
    if (!m_native)
        return;
    const RECT rc = GetWindowRect();
    const RECT area = ui::windowBackend().workArea();
    RECT around = area;
    if (CWindowWnd* owner = ui::windowFromHandle(m_owner)) {
        if (owner->IsWindowVisible() && !owner->IsIconic())
            around = owner->GetWindowRect();
    }
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    int left = (around.left + around.right - width) / 2;
    int top = (around.top + around.bottom - height) / 2;
    left = std::max(area.left, std::min(left, area.right - width));
    top = std::max(area.top, std::min(top, area.bottom - height));
    MoveWindow(RECT{left, top, left + width, top + height});
}

bool CWindowWnd::SetTimer(UINT_PTR id, UINT elapse)
{
    return platform::setTimer(m_hWnd, id, std::chrono::milliseconds(elapse));
}

bool CWindowWnd::KillTimer(UINT_PTR id)
{
    return platform::killTimer(m_hWnd, id);
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return platform::sendMessage(m_hWnd, msg, wParam, lParam);
}

bool CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return platform::postMessage(m_hWnd, msg, wParam, lParam);
}

RECT CWindowWnd::GetWindowRect() const
{
    return m_native ? m_native->bounds() : RECT{};
}

void CWindowWnd::MoveWindow(const RECT& rc)
{
    if (!m_native)
        return;
    const RECT old = m_native->bounds();
    m_native->setBounds(rc);
    if (old.left != rc.left || old.top != rc.top)
        SendMessage(WM_MOVE, 0, MAKELPARAM(rc.left, rc.top));
    SendMessage(WM_SIZE, 0, MAKELPARAM(rc.right - rc.left, rc.bottom - rc.top));
}

void CWindowWnd::ResizeClient(int cx, int cy)
{
    const RECT rc = GetWindowRect();
    MoveWindow(RECT{rc.left, rc.top, rc.left + cx, rc.top + cy});
}

bool CWindowWnd::IsWindowVisible() const
{
    return m_native && m_native->state() != ui::ShowState::Hidden;
}

bool CWindowWnd::IsIconic() const
{
    return m_native && m_native->state() == ui::ShowState::Minimized;
}

bool CWindowWnd::IsZoomed() const
{
    return m_native && m_native->state() == ui::ShowState::Maximized;
}

void CWindowWnd::Present(const ui::Canvas& canvas, std::span<const RECT> damage)
{
    if (m_native && m_native->state() != ui::ShowState::Hidden &&
        m_native->state() != ui::ShowState::Minimized) {
        m_native->present(canvas, damage);
        ++m_framesShown;
    }
}

void CWindowWnd::SetTopMost(bool topMost)
{
    if (m_native)
        m_native->setTopMost(topMost);
}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return defaultWindowProc(this, msg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

namespace ui {

CWindowWnd* windowFromHandle(HWND hwnd)
{
    const auto found = windows().find(hwnd);
    return found == windows().end() ? nullptr : found->second;
}

LRESULT defWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* window = windowFromHandle(hwnd);
    return window ? defaultWindowProc(window, msg, wParam, lParam) : 0;
}

void destroyOwnedWindows(HWND owner)
{
    if (!owner)
        return;
    std::vector<HWND> owned;
    for (const auto& [hwnd, window] : windows())
        if (window->GetOwner() == owner)
            owned.push_back(hwnd);
    // Each may take others with it (a menu closes its siblings): destroyWindow skips those.
    for (HWND hwnd : owned)
        destroyWindow(hwnd);
}

bool destroyWindow(HWND hwnd)
{
    if (!platform::isWindow(hwnd))
        return false;
    // As desktop windows do: a menu or dialog left open would outlive the window it reports
    // to, and a self-deleting one would never be freed.
    destroyOwnedWindows(hwnd);
    platform::sendMessage(hwnd, WM_DESTROY, 0, 0);
    platform::sendMessage(hwnd, WM_NCDESTROY, 0, 0);
    // A handle without a CWindowWnd is removed here.
    if (platform::isWindow(hwnd) && !windowFromHandle(hwnd))
        platform::MessageQueue::current().destroyWindow(hwnd);
    return true;
}

POINT clientToScreen(HWND hwnd, POINT pt)
{
    // Windows have no frame here: the client area starts at the window's corner.
    if (CWindowWnd* window = windowFromHandle(hwnd)) {
        const RECT rc = window->GetWindowRect();
        return POINT{pt.x + rc.left, pt.y + rc.top};
    }
    return pt;
}

HWND findWindow(std::wstring_view className, std::wstring_view title)
{
    for (const auto& [hwnd, window] : windows()) {
        if (className == window->GetWindowClassName() &&
            (title.empty() || title == window->GetTitle()))
            return hwnd;
    }
    return nullptr;
}

std::vector<HWND> allWindows()
{
    std::vector<HWND> handles;
    for (const auto& [hwnd, window] : windows())
        handles.push_back(hwnd);
    return handles;
}

int dpiThatFits(SIZE layout, const RECT& area, int wanted)
{
    // Largest first; the paint manager accepts no others.
    constexpr std::array kSteps{192, 168, 144, 120, 96, 72, 48};
    const long long width = area.right - area.left;
    const long long height = area.bottom - area.top;
    const auto scaled = [](long long value, int dpi) { return (value * dpi + 48) / 96; };
    for (const int dpi : kSteps) {
        if (dpi <= wanted && scaled(layout.cx, dpi) <= width && scaled(layout.cy, dpi) <= height)
            return dpi;
    }
    return kSteps.back();
}

void presentWindow(HWND hwnd, const Canvas& canvas, std::span<const RECT> damage)
{
    if (CWindowWnd* window = windowFromHandle(hwnd))
        window->Present(canvas, damage);
}

bool isWindowShowing(HWND hwnd)
{
    const CWindowWnd* window = windowFromHandle(hwnd);
    return !window || (window->IsWindowVisible() && !window->IsIconic());
}

void rescaleWindow(HWND hwnd, int oldDpi, int newDpi)
{
    CWindowWnd* window = windowFromHandle(hwnd);
    if (!window || window->IsZoomed() || oldDpi <= 0)
        return;
    const RECT rc = window->GetWindowRect();
    const int cx = (rc.right - rc.left) * newDpi / oldDpi;
    const int cy = (rc.bottom - rc.top) * newDpi / oldDpi;
    window->MoveWindow(RECT{rc.left, rc.top, rc.left + cx, rc.top + cy});
}

} // namespace ui
