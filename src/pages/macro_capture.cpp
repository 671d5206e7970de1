#include "pages/macro_capture.h"

#include "hook/hook_client.h"
#include "hook/hook_messages.h"
#include "shell/page_host.h"

#include <utility>

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

CapturedKey capturedKeyOf(WPARAM keyMessage, const hook::HookKeyboardEvent& key)
{
    CapturedKey captured;
    if (key.keyIndex >= 0 && key.scanCode <= 0xFF) {
        captured.scanCode = static_cast<std::uint8_t>(key.scanCode);
        captured.extended = (key.flags & hook::kKeyExtended) != 0;
    }
    constexpr WPARAM kSysKeyDown = 0x0104;
    captured.down = keyMessage == WM_KEYDOWN || keyMessage == kSysKeyDown;
    captured.timeMs = key.time;
    return captured;
}

// The window holds its clients weakly; this one lives as long as the capture.
class CaptureClient final : public hook::HookClient {
public:
    void onHookKey(UINT, WPARAM keyMessage, const hook::HookKeyboardEvent& event) override
    {
        if (sink)
            sink->onCapturedKey(capturedKeyOf(keyMessage, event));
    }
    void onHookMouse(UINT, WPARAM mouseMessage, const hook::HookMouseButtonEvent& event) override
    {
        if (!sink)
            return;
        if (const auto button = buttonOf(mouseMessage, event))
            sink->onCapturedButton(*button);
    }
    void onHookInstalled(bool focusOnly) override { needsFocus = focusOnly; }
    void onHookRemoved() override
    {
        MacroCaptureSink* ended = std::exchange(sink, nullptr);
        if (ended)
            ended->onCaptureEnded();
    }

    MacroCaptureSink* sink = nullptr;
    bool needsFocus = false;
};

class WindowHookCapture final : public MacroCapture {
public:
    explicit WindowHookCapture(shell::PageHost& window)
        : m_window(window), m_client(std::make_shared<CaptureClient>())
    {
    }
    ~WindowHookCapture() override { stop(); }

    bool start(int hookMode, MacroCaptureSink& sink) override
    {
        stop();
        m_client->sink = &sink;
        if (m_window.installHook(hookMode, m_client) != 1) {
            m_client->sink = nullptr;
            return false;
        }
        return true;
    }
    void stop() override
    {
        if (!m_client->sink)
            return;
        m_client->sink = nullptr;
        m_window.removeHook(m_client.get());
    }
    bool isActive() const override { return m_client->sink && m_window.isHookInstalled(); }
    bool needsFocus() const override { return m_client->needsFocus; }
    std::string lastError() const override { return "the input hook could not be installed"; }

private:
    shell::PageHost& m_window;
    std::shared_ptr<CaptureClient> m_client;
};

} // namespace

std::unique_ptr<MacroCapture> createHookCapture(shell::PageHost& window)
{
    return std::make_unique<WindowHookCapture>(window);
}

} // namespace pages
