#pragma once

#include "platform/input_hook.h"
#include "platform/window_messages.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <variant>

namespace hook {

// What a keyboard hook message's lParam points at, valid only while it is handled.
struct HookKeyboardEvent {
    std::uint32_t vkCode = 0;
    std::uint32_t scanCode = 0;
    std::uint32_t flags = 0; // kKeyExtended, kKeyUp
    std::uint32_t time = 0;
    std::uint16_t evdevCode = 0;
    // Keyboard key table index, or -1 for a key the tables do not know.
    int keyIndex = -1;
};
inline constexpr std::uint32_t kKeyExtended = 0x01;
inline constexpr std::uint32_t kKeyUp = 0x80;

struct HookPoint {
    int x = 0;
    int y = 0;
};

// What a mouse hook message's lParam points at.
struct HookMouseButtonEvent {
    HookPoint pt{};
    std::uint32_t mouseData = 0; // high word: 1 first extra button, 2 second
    std::uint32_t time = 0;
};

inline constexpr UINT kWmMButtonDown = 0x0207;
inline constexpr UINT kWmMButtonUp = 0x0208;
inline constexpr UINT kWmXButtonDown = 0x020B;
inline constexpr UINT kWmXButtonUp = 0x020C;

// The owner of the input hooks: while hooked, every key and mouse-button event of the
// desktop reaches the target window as the mode's registered message, and keys are kept
// from every other program. Events are delivered on the UI thread that called SetHook.
class CDeviceHook {
public:
    using BackendFactory = std::function<std::unique_ptr<platform::InputHookBackend>()>;

    CDeviceHook();
    // Tests pass a backend of their own.
    explicit CDeviceHook(BackendFactory factory);
    ~CDeviceHook();
    CDeviceHook(const CDeviceHook&) = delete;
    CDeviceHook& operator=(const CDeviceHook&) = delete;

    // 1 on success; 0 when the keyboard could not be captured (nothing is then hooked).
    int SetHook(int mode, HWND window, bool useKeyboardHook, bool useLibrary);
    // 1 when a keyboard hook was removed, 0 otherwise. Always releases every grab.
    int Unhook();

    bool isHooked() const { return m_keyboardHooked || m_libraryHooked; }
    int mode() const { return m_mode; }
    // True when capture sees input only while the program's window has focus; the window
    // should say so.
    bool needsFocus() const;
    std::string lastError() const;

    // The event a hook message carries, or null when this message was not delivered by
    // our hook just now: any other sender's lParam is never trusted.
    static const HookKeyboardEvent* keyboardEvent(UINT message, LPARAM lParam);
    static const HookMouseButtonEvent* mouseEvent(UINT message, LPARAM lParam);

private:
    class Relay;
    using Pending = std::variant<platform::HookKeyEvent, platform::HookMouseEvent>;

    void deliverPending();
    bool ensureRelay();
    void deliverKey(const platform::HookKeyEvent& event);
    void deliverMouse(const platform::HookMouseEvent& event);

    BackendFactory m_factory;
    std::unique_ptr<platform::InputHookBackend> m_backend;
    std::shared_ptr<Relay> m_relay;
    bool m_keyboardHooked = false;
    bool m_libraryHooked = false;
    int m_mode = 0;
    HWND m_target = nullptr;
    std::string m_lastError;
};

} // namespace hook
