#include "pages/macro_capture.h"

#include "hook/hook_messages.h"
#include "platform/input_hook.h"
#include "platform/message_queue.h"

namespace pages {
namespace {

std::optional<CapturedButton> buttonOf(WPARAM message, const hook::HookMouseButtonEvent& event)
{
    CapturedButton button;
    button.x = event.pt.x;
    button.y = event.pt.y;
    button.timeMs = event.time;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        button.button = MacroMouseButton::Left;
        button.down = message == WM_LBUTTONDOWN;
        return button;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        button.button = MacroMouseButton::Right;
        button.down = message == WM_RBUTTONDOWN;
        return button;
    case hook::kWmMButtonDown:
    case hook::kWmMButtonUp:
        button.button = MacroMouseButton::Middle;
        button.down = message == hook::kWmMButtonDown;
        return button;
    case hook::kWmXButtonDown:
    case hook::kWmXButtonUp: {
        const std::uint32_t which = event.mouseData >> 16;
        if (which != 1 && which != 2)
            return std::nullopt;
        button.button = which == 2 ? MacroMouseButton::Forward : MacroMouseButton::Back;
        button.down = message == hook::kWmXButtonDown;
        return button;
    }
    default:
        return std::nullopt;
    }
}

class HookCapture final : public MacroCapture {
public:
    explicit HookCapture(hook::CDeviceHook::BackendFactory backend)
        : m_hook(backend ? std::move(backend)
                         : hook::CDeviceHook::BackendFactory(platform::createInputHookBackend))
    {
        m_window = platform::MessageQueue::current().createWindow(
            [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                deliver(message, wParam, lParam);
                return 0;
            });
    }
    ~HookCapture() override
    {
        stop();
        m_sink = nullptr;
        if (auto* queue = platform::MessageQueue::currentIfAny())
            queue->destroyWindow(m_window);
    }

    bool start(int hookMode, MacroCaptureSink& sink) override
    {
        stop();
        if (!m_window)
            return false;
        m_sink = &sink;
        if (m_hook.SetHook(hookMode, m_window, true, true) != 1) {
            m_sink = nullptr;
            return false;
        }
        return true;
    }
    void stop() override
    {
        m_hook.Unhook();
        m_sink = nullptr;
    }
    bool isActive() const override { return m_hook.isHooked(); }
    bool needsFocus() const override { return m_hook.needsFocus(); }
    std::string lastError() const override { return m_hook.lastError(); }

private:
    void deliver(UINT message, WPARAM wParam, LPARAM lParam)
    {
        // Only what our hook hands over right now is read; lParam is never trusted otherwise.
        if (!m_sink)
            return;
        if (const auto* key = hook::CDeviceHook::keyboardEvent(message, lParam)) {
            CapturedKey captured;
            if (key->keyIndex >= 0 && key->scanCode <= 0xFF) {
                captured.scanCode = static_cast<std::uint8_t>(key->scanCode);
                captured.extended = (key->flags & hook::kKeyExtended) != 0;
            }
            captured.down = wParam == WM_KEYDOWN || wParam == kSysKeyDown;
            captured.timeMs = key->time;
            m_sink->onCapturedKey(captured);
        } else if (const auto* mouse = hook::CDeviceHook::mouseEvent(message, lParam)) {
            if (const auto button = buttonOf(wParam, *mouse))
                m_sink->onCapturedButton(*button);
        }
    }

    static constexpr WPARAM kSysKeyDown = 0x0104;

    hook::CDeviceHook m_hook;
    HWND m_window = nullptr;
    MacroCaptureSink* m_sink = nullptr;
};

} // namespace

std::unique_ptr<MacroCapture> createHookCapture(hook::CDeviceHook::BackendFactory backend)
{
    return std::make_unique<HookCapture>(std::move(backend));
}

} // namespace pages
