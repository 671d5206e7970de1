// Real windows through SDL2: one borderless SDL window per CWindowWnd, input turned into
// window messages, frames copied from the canvas to the window surface.
#include "ui/window_backend.h"

#include "platform/debug_output.h"
#include "platform/exit_watchdog.h"
#include "platform/input_hook.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "ui/sdl/quit_signal_wake.h"
#include "ui/sdl/sdl_window.h"
#include "ui/sdl/x11_display.h"

#include <SDL.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace ui {
namespace {

using sdl::SdlWindow;

// How long the teardown may take once the display is gone.
constexpr std::chrono::seconds kLostDisplayExitBound{4};
constexpr int kLostDisplayExitCode = 1;
// The longest the UI thread sleeps in SDL without looking whether the display went away.
constexpr std::chrono::milliseconds kLostDisplayCheck{1000};
// SDL finishes some work at a later pump, not at an event of its own: a focus change it
// holds back 200 ms after a display mode change, input method replies that trail a key.
// One pump this long after the server's last events sees them through.
constexpr std::chrono::milliseconds kUpkeepDelay{250};
// While an input method composes, its candidate window may commit text with no X event
// of ours to follow: asked this often then.
constexpr std::chrono::milliseconds kCompositionCheck{1000};

WPARAM virtualKey(SDL_Keycode key)
{
    switch (key) {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_SPACE:
        return 0x20;
    default:
        if (key >= SDLK_a && key <= SDLK_z)
            return static_cast<WPARAM>('A' + (key - SDLK_a));
        if (key >= SDLK_0 && key <= SDLK_9)
            return static_cast<WPARAM>(key);
        if (key >= SDLK_F1 && key <= SDLK_F12)
            return static_cast<WPARAM>(VK_F1 + (key - SDLK_F1));
        return 0;
    }
}

HWND target(Uint32 windowId)
{
    SdlWindow* window = SdlWindow::fromId(windowId);
    return window ? window->handle() : nullptr;
}

class SdlBackend final : public WindowBackend,
                         public platform::ExternalWait,
                         public platform::WindowKeyboardGrab {
public:
    SdlBackend()
        : m_wakeEvent(SDL_RegisterEvents(1)), m_queue(&platform::MessageQueue::current()),
          m_wakeDescriptor(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        SDL_StartTextInput();
        m_queue->setExternalWait(this);
        platform::setWindowKeyboardGrab(this);
        if (m_wakeDescriptor >= 0)
            sdl::chainQuitSignals(m_wakeDescriptor);
    }

    ~SdlBackend() override
    {
        platform::setWindowKeyboardGrab(nullptr);
        // Only while the queue we joined is still this thread's: at process exit the
        // queue may be gone before us.
        if (platform::MessageQueue::currentIfAny() == m_queue)
            m_queue->setExternalWait(nullptr);
        if (m_wakeDescriptor >= 0) {
            sdl::unchainQuitSignals();
            ::close(m_wakeDescriptor);
        }
        if (m_lost) {
            // Nothing to say goodbye to; SDL_Quit would talk to a dead connection.
            return;
        }
        SDL_Quit();
    }

    // Input capture without X: the focused window holds the keyboard, which also keeps
    // system shortcuts from the compositor where it allows that.
    void setKeyboardGrab(bool grabbed) override
    {
        // By id: the window may have closed since it was grabbed.
        if (SDL_Window* window = m_grabbedId != 0 ? SDL_GetWindowFromID(m_grabbedId) : nullptr)
            SDL_SetWindowKeyboardGrab(window, SDL_FALSE);
        m_grabbedId = 0;
        if (grabbed) {
            if (SDL_Window* window = SDL_GetKeyboardFocus()) {
                SDL_SetWindowKeyboardGrab(window, SDL_TRUE);
                m_grabbedId = SDL_GetWindowID(window);
            }
        }
    }

    std::unique_ptr<NativeWindow> createWindow(HWND hwnd, std::wstring_view title, const RECT& rc,
                                               const NativeWindow* owner) override
    {
        auto window =
            std::make_unique<SdlWindow>(hwnd, title, rc, dynamic_cast<const SdlWindow*>(owner));
        if (!m_watching && window->sdlWindow()) {
            m_watching = true;
            sdl::watchDisplayConnection(window->sdlWindow(), [this] { onDisplayLost(); });
            if (m_wakeDescriptor >= 0)
                m_xDescriptor = sdl::connectionDescriptor(window->sdlWindow());
        }
        return window;
    }

    RECT workArea() const override
    {
        SDL_Rect area{};
        if (SDL_GetDisplayUsableBounds(0, &area) != 0)
            return RECT{0, 0, 1024, 768};
        return RECT{area.x, area.y, area.x + area.w, area.y + area.h};
    }

    int screenDpi() const override
    {
        // Any window tells the desktop's setting; without one, GDK_SCALE or the default.
        return sdl::windowDpi(SdlWindow::anyWindow());
    }

    POINT cursorPos() const override
    {
        int x = 0;
        int y = 0;
        // SDL's global position follows events of its own windows; the pointer may have moved
        // elsewhere since (to the panel, for a click on the tray icon).
        if (!sdl::pointerPosition(SdlWindow::anyWindow(), x, y))
            SDL_GetGlobalMouseState(&x, &y);
        return POINT{x, y};
    }

    std::wstring clipboardText() const override
    {
        char* text = SDL_GetClipboardText();
        std::wstring result = text ? platform::fromUtf8(text) : std::wstring();
        SDL_free(text);
        return result;
    }

    void setClipboardText(std::wstring_view text) override
    {
        SDL_SetClipboardText(platform::toUtf8(text).c_str());
    }

    void setTextInput(HWND, bool) override {}

    bool displayLost() const override { return m_lost; }

    void wait(std::chrono::steady_clock::time_point deadline) override
    {
        if (m_lost) {
            quitForLostDisplay();
            // No events will come; wait for the queue's own wake-up instead.
            std::unique_lock lock(m_lostLock);
            if (deadline == std::chrono::steady_clock::time_point::max())
                m_lostWake.wait(lock, [this] { return m_woken; });
            else
                m_lostWake.wait_until(lock, deadline, [this] { return m_woken; });
            m_woken = false;
            return;
        }
        if (m_xDescriptor >= 0) {
            waitOnConnection(deadline);
        } else {
            // Bounded even without a deadline: once the display is gone SDL may sit in a
            // poll of the dead connection, and only a return from it lets the loop quit.
            waitInSdl(timeoutUntil(
                std::min(deadline, std::chrono::steady_clock::now() + kLostDisplayCheck)));
        }
        if (m_lost)
            quitForLostDisplay();
    }

    void wake() override
    {
        {
            std::lock_guard guard(m_lostLock);
            m_woken = true;
        }
        m_lostWake.notify_all();
        // With the display gone, SDL would take the wake-up to the dead connection.
        if (m_lost)
            return;
        if (m_xDescriptor >= 0) {
            signalWake();
            return;
        }
        SDL_Event event{};
        event.type = m_wakeEvent;
        SDL_PushEvent(&event);
    }

private:
    // Milliseconds to `deadline` for poll(), -1 for none. Rounded up: a wait cut short by a
    // fraction of a millisecond would spin to it.
    static int timeoutUntil(std::chrono::steady_clock::time_point deadline)
    {
        if (deadline == std::chrono::steady_clock::time_point::max())
            return -1;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
    }

    // Sleeps until the X server sends something, the wake-up descriptor is signalled (other
    // threads' messages, a quit signal) or the deadline passes, and asks SDL for events only
    // when the server sent some, when a signal came (SDL turns SIGTERM into its quit event
    // as it pumps) and for SDL's own upkeep after them. Nothing else wakes an idle window:
    // a dead connection reads as ready. SDL's own wait reads the connection at every return,
    // and a wake-up from another thread goes through the X server: a window woken for
    // timers and other threads' messages hundreds of times a second paid for both.
    void waitOnConnection(std::chrono::steady_clock::time_point deadline)
    {
        using Clock = std::chrono::steady_clock;
        SDL_Window* window = SdlWindow::anyWindow();
        const auto upkeep =
            m_composing ? std::min(m_upkeepDue, m_lastPump + kCompositionCheck) : m_upkeepDue;
        // Events SDL or Xlib already took off the connection would not wake the poll.
        bool serverSent = window && sdl::hasQueuedEvents(window);
        bool pump = serverSent || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) == SDL_TRUE ||
                    sdl::takeQuitSignal();
        if (!pump) {
            pollfd entries[2] = {{m_xDescriptor, POLLIN, 0}, {m_wakeDescriptor, POLLIN, 0}};
            const int ready = ::poll(entries, 2, timeoutUntil(std::min(deadline, upkeep)));
            // A signal, or a connection that broke: SDL's pump deals with both.
            pump = ready < 0;
            if (ready > 0 && (entries[1].revents & POLLIN) != 0) {
                std::uint64_t count = 0;
                (void)!::read(m_wakeDescriptor, &count, sizeof count);
            }
            serverSent = ready > 0 && entries[0].revents != 0;
            pump = pump || serverSent || sdl::takeQuitSignal() || Clock::now() >= upkeep;
        }
        if (!pump)
            return;
        m_lastPump = Clock::now();
        if (serverSent)
            m_upkeepDue = m_lastPump + kUpkeepDelay;
        else if (m_lastPump >= m_upkeepDue)
            m_upkeepDue = Clock::time_point::max();
        SDL_Event event;
        while (!m_lost && SDL_PollEvent(&event))
            handle(event);
    }

    void waitInSdl(int timeout)
    {
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, timeout) != 0) {
            handle(event);
            while (!m_lost && SDL_PollEvent(&event))
                handle(event);
        }
    }

    // Safe from any thread and from inside Xlib's error handler.
    void signalWake() const
    {
        const std::uint64_t one = 1;
        (void)!::write(m_wakeDescriptor, &one, sizeof one);
    }

    // Called from inside an Xlib call, on whichever thread noticed, maybe while that
    // thread holds a message queue's lock: only flags and the watchdog here. The UI
    // thread's wait() sees the flag and quits the loop.
    void onDisplayLost()
    {
        m_lost = true;
        platform::armExitWatchdog(kLostDisplayExitBound, kLostDisplayExitCode,
                                  "the display is gone and the teardown did not finish");
        {
            std::lock_guard guard(m_lostLock);
            m_woken = true;
        }
        m_lostWake.notify_all();
        if (m_xDescriptor >= 0)
            signalWake();
    }

    void quitForLostDisplay()
    {
        if (m_quitPosted)
            return;
        m_quitPosted = true;
        std::fputs("halvek: the connection to the display was lost; closing\n", stderr);
        std::fflush(stderr);
        m_queue->postQuitMessage(kLostDisplayExitCode);
    }

    void handle(const SDL_Event& event)
    {
        switch (event.type) {
        case SDL_QUIT:
            // Only SIGTERM or SIGINT (the last window's close is not turned into a quit):
            // the session is ending, so every window closes without asking.
            for (HWND hwnd : allHandles())
                platform::postMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case SDL_DISPLAYEVENT:
            for (HWND hwnd : allHandles())
                platform::postMessage(hwnd, WM_DISPLAYCHANGE, 0, 0);
            break;
        case SDL_MOUSEMOTION:
            m_lastMouse = POINT{event.motion.x, event.motion.y};
            platform::sendMessage(target(event.motion.windowID), WM_MOUSEMOVE,
                                  (event.motion.state & SDL_BUTTON_LMASK) ? 1 : 0,
                                  MAKELPARAM(event.motion.x, event.motion.y));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const bool down = event.type == SDL_MOUSEBUTTONDOWN;
            feedCapture(event.button, down);
            UINT msg = 0;
            if (event.button.button == SDL_BUTTON_LEFT)
                msg = down ? (event.button.clicks >= 2 ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN)
                           : WM_LBUTTONUP;
            else if (event.button.button == SDL_BUTTON_RIGHT)
                msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            if (msg)
                platform::sendMessage(target(event.button.windowID), msg, down ? 1 : 0,
                                      MAKELPARAM(event.button.x, event.button.y));
            break;
        }
        case SDL_MOUSEWHEEL: {
            const int delta = event.wheel.y * 120;
            platform::sendMessage(target(event.wheel.windowID), WM_MOUSEWHEEL,
                                  static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16,
                                  MAKELPARAM(m_lastMouse.x, m_lastMouse.y));
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (platform::windowCaptureActive()) {
                // SDL scan codes are the keys' USB HID usages.
                if (event.key.repeat == 0)
                    platform::feedWindowKey(
                        {0, event.type == SDL_KEYDOWN, event.key.timestamp,
                         static_cast<std::uint16_t>(event.key.keysym.scancode)});
                break;
            }
            const WPARAM key = virtualKey(event.key.keysym.sym);
            const HWND hwnd = target(event.key.windowID);
            if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_F4 &&
                (event.key.keysym.mod & KMOD_ALT) != 0) {
                // Alt+F4 no window manager took: the window's own close, as the manager's.
                platform::sendMessage(hwnd, WM_MANAGERCLOSE, 0, 0);
                break;
            }
            if (key)
                platform::sendMessage(hwnd, event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key,
                                      0);
            break;
        }
        case SDL_TEXTEDITING:
            m_composing = event.edit.text[0] != '\0';
            break;
        case SDL_TEXTINPUT: {
            m_composing = false;
            if (platform::windowCaptureActive())
                break;
            const HWND hwnd = target(event.text.windowID);
            for (const wchar_t c : platform::fromUtf8(event.text.text))
                platform::sendMessage(hwnd, WM_CHAR, static_cast<WPARAM>(c), 0);
            break;
        }
        case SDL_WINDOWEVENT:
            handleWindowEvent(event.window);
            break;
        default:
            break;
        }
    }

    void handleWindowEvent(const SDL_WindowEvent& event)
    {
        SdlWindow* window = SdlWindow::fromId(event.windowID);
        if (!window)
            return;
        const HWND hwnd = window->handle();
        switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            platform::sendMessage(hwnd, WM_MANAGERCLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            platform::postMessage(hwnd, WM_PAINT, 0, 0);
            break;
        case SDL_WINDOWEVENT_LEAVE:
            platform::sendMessage(hwnd, WM_MOUSELEAVE, 0, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            platform::windowFocusLost();
            platform::sendMessage(hwnd, WM_ACTIVATE, 0, 0);
            platform::sendMessage(hwnd, WM_KILLFOCUS, 0, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            platform::sendMessage(hwnd, WM_ACTIVATE, 1, 0);
            platform::sendMessage(hwnd, WM_SETFOCUS, 0, 0);
            break;
        default:
            window->handleWindowEvent(event);
            break;
        }
    }

    static std::vector<HWND> allHandles() { return SdlWindow::allHandles(); }

    static void feedCapture(const SDL_MouseButtonEvent& button, bool down)
    {
        platform::HookMouseButton which{};
        switch (button.button) {
        case SDL_BUTTON_LEFT:
            which = platform::HookMouseButton::Left;
            break;
        case SDL_BUTTON_RIGHT:
            which = platform::HookMouseButton::Right;
            break;
        case SDL_BUTTON_MIDDLE:
            which = platform::HookMouseButton::Middle;
            break;
        case SDL_BUTTON_X1:
            which = platform::HookMouseButton::Extra1;
            break;
        case SDL_BUTTON_X2:
            which = platform::HookMouseButton::Extra2;
            break;
        default:
            return;
        }
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        platform::feedWindowMouseButton({which, down, x, y, button.timestamp});
    }

    Uint32 m_wakeEvent;
    platform::MessageQueue* m_queue;
    // With an X display the UI thread sleeps in poll() on both; -1 otherwise.
    int m_wakeDescriptor = -1;
    std::atomic<int> m_xDescriptor{-1}; // set once, on the UI thread
    // UI thread only.
    std::chrono::steady_clock::time_point m_lastPump;
    std::chrono::steady_clock::time_point m_upkeepDue =
        std::chrono::steady_clock::time_point::max();
    bool m_composing = false; // an input method shows text not yet committed
    POINT m_lastMouse{};
    bool m_watching = false;
    std::atomic<bool> m_lost{false};
    std::mutex m_lostLock;
    std::condition_variable m_lostWake;
    bool m_woken = false;
    bool m_quitPosted = false; // UI thread only
    Uint32 m_grabbedId = 0;
};

bool isHeadlessDriver(const char* driver)
{
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                      std::strcmp(driver, "evdev") == 0);
}

} // namespace

platform::Result<std::unique_ptr<WindowBackend>> createSdlBackend()
{
    // The accelerated window surface pulls in a (software) GL stack: slower to start,
    // four times the memory, and it recreates the window at 0,0 on the first frame.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Keep a compositing desktop's effects; do not take the screen over.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // A settings window left open all day must not keep the screen awake, as SDL does for
    // games by default.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // SDL follows the only window's close with a quit event by default; that close is the
    // window manager's, which the window answers as its close button does (it may ask about
    // unsaved changes, or only hide), so a quit means a quit signal and nothing else.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The class the desktop groups windows by: the .desktop file's StartupWMClass, not
    // the name of whichever binary runs (SDL reads it from the environment).
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", "halvek", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return platform::makeError(platform::Error::Code::Unavailable,
                                   std::string("cannot open a display: ") + SDL_GetError());
    const char* driver = SDL_GetCurrentVideoDriver();
    if (isHeadlessDriver(driver)) {
        // SDL falls back to drivers that show nothing; an invisible program would hold
        // the single-instance lock against every later start on a real display.
        const std::string name = driver;
        SDL_Quit();
        return platform::makeError(platform::Error::Code::Unavailable,
                                   "no display to show windows on (SDL offered only its \"" + name +
                                       "\" driver)");
    }
    return std::unique_ptr<WindowBackend>(std::make_unique<SdlBackend>());
}

} // namespace ui
