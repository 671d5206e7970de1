// Real windows through SDL2: one borderless SDL window per CWindowWnd, input turned into
// window messages, frames copied from the canvas to the window surface.
#include "ui/window_backend.h"

#include "platform/debug_output.h"
#include "platform/input_hook.h"
#include "platform/message_queue.h"
#include "platform/text.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

namespace ui {
namespace {

std::map<Uint32, HWND>& windowsById()
{
    static std::map<Uint32, HWND> map;
    return map;
}

class SdlWindow final : public NativeWindow {
public:
    SdlWindow(HWND hwnd, std::wstring_view title, const RECT& rc, bool popup) : m_hwnd(hwnd)
    {
        const std::string utf8 = platform::toUtf8(title);
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALLOW_HIGHDPI;
        if (popup)
            flags |= SDL_WINDOW_SKIP_TASKBAR;
        m_window = SDL_CreateWindow(utf8.c_str(), rc.left, rc.top, std::max(1, rc.right - rc.left),
                                    std::max(1, rc.bottom - rc.top), flags);
        if (!m_window) {
            platform::debugOutput(std::string("window not created: ") + SDL_GetError());
            return;
        }
        windowsById()[SDL_GetWindowID(m_window)] = hwnd;
        m_bounds = rc;
    }

    ~SdlWindow() override
    {
        if (m_window) {
            windowsById().erase(SDL_GetWindowID(m_window));
            SDL_DestroyWindow(m_window);
        }
    }

    RECT bounds() const override { return m_bounds; }

    void setBounds(const RECT& rc) override
    {
        m_bounds = rc;
        if (!m_window)
            return;
        SDL_SetWindowPosition(m_window, rc.left, rc.top);
        SDL_SetWindowSize(m_window, std::max(1, rc.right - rc.left),
                          std::max(1, rc.bottom - rc.top));
    }

    void setState(ShowState state) override
    {
        m_state = state;
        if (!m_window)
            return;
        switch (state) {
        case ShowState::Hidden:
            SDL_HideWindow(m_window);
            break;
        case ShowState::Minimized:
            SDL_MinimizeWindow(m_window);
            break;
        case ShowState::Normal:
        case ShowState::Maximized:
            SDL_ShowWindow(m_window);
            SDL_RestoreWindow(m_window);
            break;
        }
    }

    ShowState state() const override { return m_state; }

    void setTitle(std::wstring_view title) override
    {
        if (m_window)
            SDL_SetWindowTitle(m_window, platform::toUtf8(title).c_str());
    }

    void present(const Canvas& canvas) override
    {
        if (!m_window)
            return;
        SDL_Surface* surface = SDL_GetWindowSurface(m_window);
        if (!surface)
            return;
        SDL_LockSurface(surface);
        // Both are 32-bit XRGB in memory order; the canvas is opaque where it matters.
        const int rows = std::min(surface->h, canvas.height());
        const int bytes = std::min(surface->w, canvas.width()) * 4;
        const auto* source = reinterpret_cast<const unsigned char*>(canvas.pixels());
        auto* target = static_cast<unsigned char*>(surface->pixels);
        for (int y = 0; y < rows; ++y)
            std::memcpy(target + y * surface->pitch, source + y * canvas.stride(),
                        static_cast<std::size_t>(bytes));
        SDL_UnlockSurface(surface);
        SDL_UpdateWindowSurface(m_window);
        takeRequestedScreenshot(surface);
    }

    void raise() override
    {
        if (m_window)
            SDL_RaiseWindow(m_window);
    }

    void setTopMost(bool topMost) override
    {
        if (m_window)
            SDL_SetWindowAlwaysOnTop(m_window, topMost ? SDL_TRUE : SDL_FALSE);
    }

private:
    // HALVEK_SCREENSHOT=<file>: the first frame shown is read back from the window and
    // written there, for checks of a running program.
    static void takeRequestedScreenshot(SDL_Surface* surface)
    {
        static bool taken = false;
        const char* file = std::getenv("HALVEK_SCREENSHOT");
        if (taken || !file || !*file)
            return;
        taken = true;
        Image image;
        image.width = surface->w;
        image.height = surface->h;
        SDL_LockSurface(surface);
        for (int y = 0; y < surface->h; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                static_cast<const unsigned char*>(surface->pixels) + y * surface->pitch);
            for (int x = 0; x < surface->w; ++x)
                image.pixels.push_back(row[x] | 0xFF000000u);
        }
        SDL_UnlockSurface(surface);
        if (!writePng(image, file))
            platform::debugOutput("screenshot not written");
    }

    HWND m_hwnd;
    SDL_Window* m_window = nullptr;
    RECT m_bounds{};
    ShowState m_state = ShowState::Hidden;
};

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
        return 0;
    }
}

class SdlBackend final : public WindowBackend,
                         public platform::ExternalWait,
                         public platform::WindowKeyboardGrab {
public:
    SdlBackend() : m_wakeEvent(SDL_RegisterEvents(1))
    {
        SDL_StartTextInput();
        platform::MessageQueue::current().setExternalWait(this);
        platform::setWindowKeyboardGrab(this);
    }

    ~SdlBackend() override
    {
        platform::setWindowKeyboardGrab(nullptr);
        if (auto* queue = platform::MessageQueue::currentIfAny())
            queue->setExternalWait(nullptr);
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
                                               bool popup) override
    {
        return std::make_unique<SdlWindow>(hwnd, title, rc, popup);
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
        float dpi = 96;
        if (SDL_GetDisplayDPI(0, &dpi, nullptr, nullptr) != 0 || dpi <= 0)
            return 96;
        return static_cast<int>(std::lround(dpi));
    }

    POINT cursorPos() const override
    {
        int x = 0;
        int y = 0;
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

    void wait(std::chrono::steady_clock::time_point deadline) override
    {
        const auto now = std::chrono::steady_clock::now();
        int timeout = -1;
        if (deadline != std::chrono::steady_clock::time_point::max()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            timeout = static_cast<int>(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
        }
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, timeout) == 0)
            return;
        handle(event);
        while (SDL_PollEvent(&event))
            handle(event);
    }

    void wake() override
    {
        SDL_Event event{};
        event.type = m_wakeEvent;
        SDL_PushEvent(&event);
    }

private:
    static HWND target(Uint32 windowId)
    {
        const auto found = windowsById().find(windowId);
        return found == windowsById().end() ? nullptr : found->second;
    }

    void handle(const SDL_Event& event)
    {
        switch (event.type) {
        case SDL_QUIT:
            // SIGTERM or SIGINT: every window closes the way its close button would.
            for (const auto& [id, hwnd] : windowsById())
                platform::postMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case SDL_DISPLAYEVENT:
            for (const auto& [id, hwnd] : windowsById())
                platform::postMessage(hwnd, WM_DISPLAYCHANGE, 0, 0);
            break;
        case SDL_MOUSEMOTION:
            m_lastMouse = POINT{event.motion.x, event.motion.y};
            platform::sendMessage(target(event.motion.windowID), WM_MOUSEMOVE, 0,
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
                platform::sendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            }
            if (key)
                platform::sendMessage(hwnd, event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key,
                                      0);
            break;
        }
        case SDL_TEXTINPUT: {
            if (platform::windowCaptureActive())
                break;
            const HWND hwnd = target(event.text.windowID);
            for (const wchar_t c : platform::fromUtf8(event.text.text))
                platform::sendMessage(hwnd, WM_CHAR, static_cast<WPARAM>(c), 0);
            break;
        }
        case SDL_WINDOWEVENT: {
            const HWND hwnd = target(event.window.windowID);
            switch (event.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                platform::sendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
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
                break;
            }
            break;
        }
        default:
            break;
        }
    }

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
    POINT m_lastMouse{};
    Uint32 m_grabbedId = 0;
};

} // namespace

std::unique_ptr<WindowBackend> createSdlBackend()
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        platform::debugOutput(std::string("no display: ") + SDL_GetError());
        return nullptr;
    }
    return std::make_unique<SdlBackend>();
}

} // namespace ui
