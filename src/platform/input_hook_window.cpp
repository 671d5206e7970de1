#include "platform/input_hook.h"

namespace platform {
namespace {

WindowKeyboardGrab* g_grab = nullptr;
class WindowInputHook;
WindowInputHook* g_active = nullptr;

// Capture through the program's own window: it sees keys only while the window has
// focus, and the window's keyboard grab keeps system shortcuts from the compositor.
class WindowInputHook final : public InputHookBackend {
public:
    ~WindowInputHook() override { stop(); }

    bool start(HookSink& sink) override
    {
        stop();
        if (g_active != nullptr) {
            g_active->stop();
        }
        m_sink = &sink;
        g_active = this;
        if (g_grab != nullptr) {
            g_grab->setKeyboardGrab(true);
        }
        return true;
    }

    void stop() override
    {
        if (g_active != this) {
            return;
        }
        g_active = nullptr;
        m_sink = nullptr;
        if (g_grab != nullptr) {
            g_grab->setKeyboardGrab(false);
        }
    }

    bool isStarted() const override { return g_active == this; }
    bool needsFocus() const override { return true; }
    std::string lastError() const override { return {}; }

    HookSink* sink() const { return m_sink; }

private:
    HookSink* m_sink = nullptr;
};

} // namespace

std::unique_ptr<InputHookBackend> createWindowInputHook()
{
    return std::make_unique<WindowInputHook>();
}

void setWindowKeyboardGrab(WindowKeyboardGrab* grab)
{
    if (g_grab != nullptr && g_grab != grab && g_active != nullptr) {
        g_grab->setKeyboardGrab(false);
    }
    g_grab = grab;
    if (g_grab != nullptr && g_active != nullptr) {
        g_grab->setKeyboardGrab(true);
    }
}

bool feedWindowKey(const HookKeyEvent& event)
{
    if (g_active == nullptr || g_active->sink() == nullptr) {
        return false;
    }
    g_active->sink()->onKey(event);
    return true;
}

bool feedWindowMouseButton(const HookMouseEvent& event)
{
    if (g_active == nullptr || g_active->sink() == nullptr) {
        return false;
    }
    g_active->sink()->onMouseButton(event);
    return true;
}

bool windowCaptureActive()
{
    return g_active != nullptr;
}

void windowFocusLost()
{
    if (g_active != nullptr && g_grab != nullptr) {
        g_grab->setKeyboardGrab(false);
    }
}

} // namespace platform
