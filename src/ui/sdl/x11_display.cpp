#include "ui/sdl/x11_display.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace ui::sdl {
namespace {

// Xlib's handlers are process-wide function pointers, hence the process-wide hook.
std::function<void()>& lostHook()
{
    static std::function<void()> hook;
    return hook;
}
std::atomic<bool> g_lost{false};

int onIoError(Display*)
{
    if (!g_lost.exchange(true) && lostHook())
        lostHook()();
    return 0;
}

// Returning here (libX11 1.7 and later) leaves the display marked broken, so later
// calls fail at once instead of Xlib calling exit() from inside whatever call noticed.
void onIoErrorExit(Display*, void*) {}

Display* displayOf(SDL_Window* window)
{
    if (!window)
        return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return nullptr;
    return info.info.x11.display;
}

} // namespace

void watchDisplayConnection(SDL_Window* window, std::function<void()> onLost)
{
    Display* display = displayOf(window);
    if (!display)
        return;
    static std::atomic<bool> installed{false};
    lostHook() = std::move(onLost);
    if (installed.exchange(true))
        return;
    XSetIOErrorHandler(onIoError);
    XSetIOErrorExitHandler(display, onIoErrorExit, nullptr);
}

namespace {

void setWindowType(SDL_Window* window, const char* typeName)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    Display* display = info.info.x11.display;
    const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    const Atom value = XInternAtom(display, typeName, False);
    XChangeProperty(display, info.info.x11.window, type, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
}

} // namespace

bool pointerPosition(SDL_Window* window, int& x, int& y)
{
    Display* display = displayOf(window);
    if (!display)
        return false;
    Window root = 0;
    Window child = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int mask = 0;
    return XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &windowX,
                         &windowY, &mask) != 0;
}

void markAsDialog(SDL_Window* window)
{
    setWindowType(window, "_NET_WM_WINDOW_TYPE_DIALOG");
}

void markAsPopupMenu(SDL_Window* window)
{
    setWindowType(window, "_NET_WM_WINDOW_TYPE_POPUP_MENU");
}

int connectionDescriptor(SDL_Window* window)
{
    Display* display = displayOf(window);
    return display ? ConnectionNumber(display) : -1;
}

bool hasQueuedEvents(SDL_Window* window)
{
    Display* display = displayOf(window);
    return display && !g_lost.load() && XEventsQueued(display, QueuedAlready) > 0;
}

int desktopDpi(SDL_Window* window)
{
    // An explicit desktop scale first, as GTK programs follow it.
    if (const char* scale = std::getenv("GDK_SCALE")) {
        const int factor = std::atoi(scale);
        if (factor >= 1 && factor <= 4)
            return 96 * factor;
    }
    Display* display = displayOf(window);
    if (!display)
        return 0;
    const char* resources = XResourceManagerString(display);
    if (!resources)
        return 0;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (!database)
        return 0;
    int dpi = 0;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
        const double parsed = std::atof(value.addr);
        if (parsed >= 48 && parsed <= 480)
            dpi = static_cast<int>(std::lround(parsed));
    }
    XrmDestroyDatabase(database);
    return dpi;
}

std::string desktopHandle(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "x11:%lx", static_cast<unsigned long>(info.info.x11.window));
    return text;
}

} // namespace ui::sdl
