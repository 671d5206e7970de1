#pragma once

#include "platform/registered_messages.h"

#include <array>
#include <string_view>

namespace hook {

// Every registered name, in registration order. The first twenty are the hook and mouse
// notices; the last four let games trigger lighting effects.
inline constexpr std::array<std::wstring_view, 24> kHookMessageNames{
    L"WM_HOOK_KEY_SINGLEKEY_MSG",
    L"WM_HOOK_KEY_HITKEY_MSG",
    L"WM_HOOK_KEY_KBMACRO_MSG",
    L"WM_HOOK_KEY_MSMACRO_MSG",
    L"WM_HOOK_KEY_KBMACROSINGLE_MSG",
    L"WM_HOOK_KEY_KBMACROPREVIOUS_MSG",
    L"WM_HOOK_KEY_KBMACROLATER_MSG",
    L"WM_HOOK_MOU_SINGLEKEY_MSG",
    L"WM_HOOK_MOU_HITKEY_MSG",
    L"WM_HOOK_MOU_KBMACRO_MSG",
    L"WM_HOOK_MOU_MSMACRO_MSG",
    L"WM_HOOK_KEY_MSMACROSINGLE_MSG",
    L"WM_HOOK_KEY_MSMACROPREVIOUS_MSG",
    L"WM_HOOK_KEY_MSMACROLATER_MSG",
    L"UWM_MOUSERBUTTONDOWN_USER_MSG",
    L"UWM_MOUSELBUTTONUP_USER_MSG",
    L"UWM_MOUSELBUTTONDOWN_USER_MSG",
    L"UWM_MOUSERBUTTONUP_USER_MSG",
    L"UWM_MOUSERBUTTONDOWN_USER_MSG",
    L"UWM_MOUSEMOVE_USER_MSG",
    L"Game_Start",
    L"Game_End",
    L"Game_Kill",
    L"Game_Death",
};

struct HookMessages {
    platform::MessageId keySingleKey = 0;
    platform::MessageId keyHitKey = 0;
    platform::MessageId keyKbMacro = 0;
    platform::MessageId keyMsMacro = 0;
    platform::MessageId keyKbMacroSingle = 0;
    platform::MessageId keyKbMacroPrevious = 0;
    platform::MessageId keyKbMacroLater = 0;
    platform::MessageId mouSingleKey = 0;
    platform::MessageId mouHitKey = 0;
    platform::MessageId mouKbMacro = 0;
    platform::MessageId mouMsMacro = 0;
    platform::MessageId keyMsMacroSingle = 0;
    platform::MessageId keyMsMacroPrevious = 0;
    platform::MessageId keyMsMacroLater = 0;
    std::array<platform::MessageId, 4> game{}; // Start, End, Kill, Death
};

// Registers all names (once per process; later calls give the same ids).
const HookMessages& hookMessages();

// Hook modes.
inline constexpr int kModeKeyCapture = 1;
inline constexpr int kModeHitKey = 2;
inline constexpr int kModeMacroAppend = 4;
inline constexpr int kModeMacroInsertBefore = 8;
inline constexpr int kModeMacroInsertAfter = 16;
inline constexpr int kModeMacroReplaceOne = 32;
inline constexpr int kModeMouseSingleKey = 256;
inline constexpr int kModeMouseHitKey = 512;
inline constexpr int kModeMouseMacro = 1024;

// The message a keyboard event is sent as in `mode`; 0 when the mode sends none.
[[nodiscard]] platform::MessageId keyboardMessageForMode(int mode);
// The message a mouse-button event is sent as in `mode`; 0 when the mode sends none.
[[nodiscard]] platform::MessageId mouseMessageForMode(int mode);

} // namespace hook
