#include "hook/device_hook.h"

#include "hook/hook_messages.h"
#include "hook/key_translation.h"
#include "platform/message_queue.h"

namespace hook {
namespace {

// The event our hook is handing to the window right now, on this thread. A hook message
// is trusted only when its lParam is this very pointer.
struct Delivering {
    UINT message = 0;
    const void* event = nullptr;
};
thread_local Delivering g_delivering;

class DeliveringScope {
public:
    DeliveringScope(UINT message, const void* event) : m_saved(g_delivering)
    {
        g_delivering = {message, event};
    }
    ~DeliveringScope() { g_delivering = m_saved; }
    DeliveringScope(const DeliveringScope&) = delete;
    DeliveringScope& operator=(const DeliveringScope&) = delete;

private:
    Delivering m_saved;
};

constexpr UINT kRelayMessage = WM_APP + 0x41;

UINT mouseMessage(platform::HookMouseButton button, bool down)
{
    switch (button) {
    case platform::HookMouseButton::Left:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case platform::HookMouseButton::Right:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case platform::HookMouseButton::Middle:
        return down ? kWmMButtonDown : kWmMButtonUp;
    case platform::HookMouseButton::Extra1:
    case platform::HookMouseButton::Extra2:
        return down ? kWmXButtonDown : kWmXButtonUp;
    }
    return WM_NULL;
}

} // namespace

// Takes events from the backend's thread and hands them to the UI thread's window, where
// the hook delivers them one at a time.
class CDeviceHook::Relay final : public platform::HookSink {
public:
    explicit Relay(CDeviceHook& owner) : m_owner(&owner)
    {
        m_window = platform::MessageQueue::current().createWindow(
            [this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
                if (message == kRelayMessage && m_owner != nullptr) {
                    m_owner->deliverPending();
                }
                return 0;
            });
    }
    ~Relay() override
    {
        m_owner = nullptr;
        if (auto* queue = platform::MessageQueue::currentIfAny()) {
            queue->destroyWindow(m_window);
        }
    }

    void onKey(const platform::HookKeyEvent& event) override { push(event); }
    void onMouseButton(const platform::HookMouseEvent& event) override { push(event); }

    bool take(Pending& event)
    {
        std::lock_guard guard(m_lock);
        if (m_pending.empty()) {
            return false;
        }
        event = m_pending.front();
        m_pending.pop_front();
        return true;
    }
    void clear()
    {
        std::lock_guard guard(m_lock);
        m_pending.clear();
    }
    bool valid() const { return m_window != nullptr; }

private:
    // A stuck UI thread must not make the queue grow without end.
    static constexpr std::size_t kMaxPending = 4096;

    void push(const Pending& event)
    {
        bool wake = false;
        {
            std::lock_guard guard(m_lock);
            if (m_pending.size() >= kMaxPending) {
                return;
            }
            wake = m_pending.empty();
            m_pending.push_back(event);
        }
        if (wake) {
            platform::postMessage(m_window, kRelayMessage, 0, 0);
        }
    }

    CDeviceHook* m_owner;
    HWND m_window = nullptr;
    std::mutex m_lock;
    std::deque<Pending> m_pending;
};

CDeviceHook::CDeviceHook() : CDeviceHook(platform::createInputHookBackend) {}

CDeviceHook::CDeviceHook(BackendFactory factory) : m_factory(std::move(factory)) {}

CDeviceHook::~CDeviceHook()
{
    Unhook();
    m_backend.reset();
    m_relay.reset();
}

bool CDeviceHook::ensureRelay()
{
    if (!m_relay) {
        m_relay = std::make_shared<Relay>(*this);
    }
    if (!m_backend && m_factory) {
        m_backend = m_factory();
    }
    return m_relay->valid() && m_backend != nullptr;
}

int CDeviceHook::SetHook(int mode, HWND window, bool useKeyboardHook, bool useLibrary)
{
    Unhook();
    if (!useKeyboardHook && !useLibrary) {
        m_mode = mode;
        m_target = window;
        return 1;
    }
    if (!ensureRelay()) {
        m_lastError = "input capture is not available";
        return 0;
    }
    // One backend serves both hooks: it sees keys and mouse buttons alike.
    if (!m_backend->start(*m_relay)) {
        m_lastError = m_backend->lastError();
        return 0;
    }
    m_keyboardHooked = useKeyboardHook;
    m_libraryHooked = useLibrary;
    m_mode = mode;
    m_target = window;
    return 1;
}

int CDeviceHook::Unhook()
{
    const int result = m_keyboardHooked ? 1 : 0;
    if (m_backend) {
        m_backend->stop();
    }
    if (m_relay) {
        m_relay->clear();
    }
    m_keyboardHooked = false;
    m_libraryHooked = false;
    return result;
}

bool CDeviceHook::needsFocus() const
{
    return m_backend && m_backend->needsFocus();
}

std::string CDeviceHook::lastError() const
{
    return m_lastError;
}

void CDeviceHook::deliverPending()
{
    // A handler may unhook or hook again; each event is taken only while still hooked.
    const auto relay = m_relay;
    Pending event;
    while (isHooked() && relay->take(event)) {
        if (const auto* key = std::get_if<platform::HookKeyEvent>(&event)) {
            deliverKey(*key);
        } else {
            deliverMouse(std::get<platform::HookMouseEvent>(event));
        }
    }
}

void CDeviceHook::deliverKey(const platform::HookKeyEvent& event)
{
    const UINT message = m_keyboardHooked ? keyboardMessageForMode(m_mode) : 0;
    if (message == 0) {
        return;
    }
    HookKeyboardEvent data;
    data.evdevCode = event.evdevCode;
    data.time = event.timeMs;
    data.flags = event.down ? 0 : kKeyUp;
    const auto key = event.evdevCode != 0 ? translateEvdevKey(event.evdevCode)
                                          : translateHidUsage(event.hidUsage);
    if (key) {
        data.evdevCode = evdevCodeOfKey(key->keyIndex).value_or(event.evdevCode);
        data.vkCode = key->virtualKey;
        data.scanCode = key->scanCode;
        data.keyIndex = static_cast<int>(key->keyIndex);
        if (key->extended) {
            data.flags |= kKeyExtended;
        }
    }
    DeliveringScope scope(message, &data);
    platform::sendMessage(m_target, message, event.down ? WM_KEYDOWN : WM_KEYUP,
                          reinterpret_cast<LPARAM>(&data));
}

void CDeviceHook::deliverMouse(const platform::HookMouseEvent& event)
{
    const UINT message = m_libraryHooked ? mouseMessageForMode(m_mode) : 0;
    if (message == 0) {
        return;
    }
    HookMouseButtonEvent data;
    data.pt = {event.x, event.y};
    data.time = event.timeMs;
    if (event.button == platform::HookMouseButton::Extra1) {
        data.mouseData = 1u << 16;
    } else if (event.button == platform::HookMouseButton::Extra2) {
        data.mouseData = 2u << 16;
    }
    DeliveringScope scope(message, &data);
    platform::sendMessage(m_target, message, mouseMessage(event.button, event.down),
                          reinterpret_cast<LPARAM>(&data));
}

const HookKeyboardEvent* CDeviceHook::keyboardEvent(UINT message, LPARAM lParam)
{
    if (lParam == 0 || g_delivering.message != message ||
        reinterpret_cast<LPARAM>(g_delivering.event) != lParam || message == 0) {
        return nullptr;
    }
    const auto& m = hookMessages();
    for (const auto id :
         {m.keySingleKey, m.keyHitKey, m.keyKbMacro, m.keyKbMacroSingle, m.keyKbMacroPrevious,
          m.keyKbMacroLater, m.mouSingleKey, m.mouHitKey, m.mouKbMacro}) {
        if (id == message) {
            return static_cast<const HookKeyboardEvent*>(g_delivering.event);
        }
    }
    return nullptr;
}

const HookMouseButtonEvent* CDeviceHook::mouseEvent(UINT message, LPARAM lParam)
{
    if (lParam == 0 || g_delivering.message != message ||
        reinterpret_cast<LPARAM>(g_delivering.event) != lParam || message == 0) {
        return nullptr;
    }
    const auto& m = hookMessages();
    for (const auto id :
         {m.keyMsMacro, m.keyMsMacroSingle, m.keyMsMacroPrevious, m.keyMsMacroLater}) {
        if (id == message) {
            return static_cast<const HookMouseButtonEvent*>(g_delivering.event);
        }
    }
    return nullptr;
}

} // namespace hook
