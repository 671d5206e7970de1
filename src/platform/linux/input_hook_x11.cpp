#include "platform/debug_output.h"
#include "platform/input_hook.h"
#include "platform/worker_thread.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

// X keycodes are evdev codes shifted by 8 under the evdev keymap every current server uses.
constexpr int kEvdevKeycodeOffset = 8;
constexpr auto kStartTimeout = std::chrono::seconds(3);
constexpr auto kStopTimeout = std::chrono::seconds(2);

struct Shared {
    std::mutex lock;
    HookSink* sink = nullptr;
    int wakeFd = -1;
    Event ready{Event::ResetPolicy::Manual};
    bool ok = false;
    std::string error;

    ~Shared()
    {
        if (wakeFd >= 0) {
            ::close(wakeFd);
        }
    }
    void fail(std::string reason)
    {
        std::lock_guard guard(lock);
        error = std::move(reason);
        ok = false;
        ready.set();
    }
};

bool buttonFromX(unsigned detail, HookMouseButton& button)
{
    switch (detail) {
    case 1:
        button = HookMouseButton::Left;
        return true;
    case 2:
        button = HookMouseButton::Middle;
        return true;
    case 3:
        button = HookMouseButton::Right;
        return true;
    case 8:
        button = HookMouseButton::Extra1;
        return true;
    case 9:
        button = HookMouseButton::Extra2;
        return true;
    default:
        return false; // 4-7 are the wheel
    }
}

void deliver(Display* display, Window root, Shared& shared, const XIRawEvent& raw)
{
    std::lock_guard guard(shared.lock);
    if (shared.sink == nullptr) {
        return;
    }
    // Raw events are selected from every device: while the keyboard is grabbed its master
    // sends none, so the physical (slave) devices are the only complete source. The master's
    // copies of pointer events are dropped to count each press once.
    if (raw.deviceid != raw.sourceid) {
        return;
    }
    const auto time = static_cast<std::uint32_t>(raw.time);
    switch (raw.evtype) {
    case XI_RawKeyPress:
    case XI_RawKeyRelease:
        if (raw.detail < kEvdevKeycodeOffset || (raw.flags & XIKeyRepeat) != 0) {
            return;
        }
        shared.sink->onKey(
            HookKeyEvent{static_cast<std::uint16_t>(raw.detail - kEvdevKeycodeOffset),
                         raw.evtype == XI_RawKeyPress, time});
        return;
    case XI_RawButtonPress:
    case XI_RawButtonRelease: {
        HookMouseEvent event;
        if (!buttonFromX(static_cast<unsigned>(raw.detail), event.button)) {
            return;
        }
        event.down = raw.evtype == XI_RawButtonPress;
        event.timeMs = time;
        Window rootReturn = 0, child = 0;
        int winX = 0, winY = 0;
        unsigned mask = 0;
        XQueryPointer(display, root, &rootReturn, &child, &event.x, &event.y, &winX, &winY, &mask);
        shared.sink->onMouseButton(event);
        return;
    }
    default:
        return;
    }
}

// Everything X runs on this thread with its own connection, so Xlib needs no locking and
// the grab ends with the connection whatever happens to the rest of the program.
void run(const std::shared_ptr<Shared>& shared, const std::string& displayName, Event& stop)
{
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr) {
        shared->fail("cannot open the X display");
        return;
    }
    int opcode = 0, firstEvent = 0, firstError = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        XCloseDisplay(display);
        shared->fail("the X server has no XInput 2");
        return;
    }
    const Window root = DefaultRootWindow(display);
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XIEventMask mask{XIAllDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display, root, &mask, 1);
    const int grab = XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    XSync(display, False);
    if (grab != GrabSuccess) {
        XCloseDisplay(display);
        shared->fail(grab == AlreadyGrabbed ? "another program holds the keyboard"
                                            : "the keyboard could not be grabbed");
        return;
    }
    {
        std::lock_guard guard(shared->lock);
        shared->ok = true;
        shared->ready.set();
    }

    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {shared->wakeFd, POLLIN, 0}};
    while (!stop.isSet()) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            XGenericEventCookie* cookie = &event.xcookie;
            if (cookie->type == GenericEvent && cookie->extension == opcode &&
                XGetEventData(display, cookie)) {
                deliver(display, root, *shared, *static_cast<XIRawEvent*>(cookie->data));
                XFreeEventData(display, cookie);
            }
        }
        if (stop.isSet()) {
            break;
        }
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            debugOutput(L"input hook: poll failed");
            break;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
            debugOutput(L"input hook: the X connection closed");
            break;
        }
    }
    XUngrabKeyboard(display, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
}

class X11InputHook final : public InputHookBackend {
public:
    explicit X11InputHook(std::string displayName) : m_displayName(std::move(displayName)) {}
    ~X11InputHook() override { stop(); }

    bool start(HookSink& sink) override
    {
        stop();
        auto shared = std::make_shared<Shared>();
        shared->sink = &sink;
        shared->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (shared->wakeFd < 0) {
            m_error = "no event descriptor";
            return false;
        }
        m_shared = shared;
        m_worker.start("input hook",
                       [shared, name = m_displayName](Event& stop) { run(shared, name, stop); });
        const bool answered = shared->ready.waitFor(kStartTimeout);
        bool ok = false;
        {
            std::lock_guard guard(shared->lock);
            ok = answered && shared->ok;
            m_error = answered ? shared->error : "the X server did not answer";
        }
        if (!ok) {
            stop();
        }
        return ok;
    }

    void stop() override
    {
        if (!m_shared) {
            return;
        }
        {
            // A worker left running past the bounded wait must not call a sink that is gone.
            std::lock_guard guard(m_shared->lock);
            m_shared->sink = nullptr;
        }
        // The stop event first, so that the woken worker sees it and does not poll again.
        if (auto* stopEvent = m_worker.stopEvent()) {
            stopEvent->set();
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_shared->wakeFd, &one, sizeof one);
        m_worker.stop(kStopTimeout);
        m_shared.reset();
    }

    bool isStarted() const override { return m_shared != nullptr; }
    bool needsFocus() const override { return false; }
    std::string lastError() const override { return m_error; }

private:
    std::string m_displayName;
    std::shared_ptr<Shared> m_shared;
    WorkerThread m_worker;
    std::string m_error;
};

} // namespace

std::unique_ptr<InputHookBackend> createX11InputHook()
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        return nullptr;
    }
    Display* display = XOpenDisplay(name);
    if (display == nullptr) {
        return nullptr;
    }
    int opcode = 0, firstEvent = 0, firstError = 0;
    const bool hasXi =
        XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError);
    XCloseDisplay(display);
    if (!hasXi) {
        return nullptr;
    }
    return std::make_unique<X11InputHook>(name);
}

std::unique_ptr<InputHookBackend> createInputHookBackend()
{
    // Under Wayland an X server may exist for old programs, but it sees no other
    // program's input; the own window is then the only honest source.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* forced = std::getenv("HALVEK_INPUT_HOOK");
    const bool wantWindow = (forced != nullptr && std::strcmp(forced, "window") == 0) ||
                            (wayland != nullptr && *wayland != '\0' &&
                             (forced == nullptr || std::strcmp(forced, "x11") != 0));
    if (!wantWindow) {
        if (auto x11 = createX11InputHook()) {
            return x11;
        }
    }
    return createWindowInputHook();
}

} // namespace platform
