#pragma once

#include "platform/window_messages.h"

namespace shell {

// The main window's private message numbers. Numeric messages can reach the window from
// anywhere in the process, so every handler checks what they carry before use.
inline constexpr UINT MSG_HOOK_CONTROL = 0x041E;     // wParam 1 installs the hook, 0 removes it
inline constexpr UINT MSG_LANGUAGE_CHANGED = 0x0C11; // wParam: language index
inline constexpr UINT MSG_DEVICE_ARRIVED = 0x0C12;   // wParam: supported-interface row
inline constexpr UINT MSG_DEVICE_REMOVED = 0x0C13;   // wParam: supported-interface row
inline constexpr UINT MSG_OPEN_SETTINGS = 0x0C15;    // opens the settings window centred
inline constexpr UINT MSG_UPDATE_SEEN = 0x0C16;      // clears the update badge
inline constexpr UINT MSG_SHOW_PROGRESS = 0x0C00;    // shows "setting_progress"
inline constexpr UINT MSG_IGNORED = 0x0D02;          // ignored
inline constexpr UINT MSG_TILE_VISIBILITY = 0x0D03;  // wParam tile index, lParam 1 show / 0 hide
inline constexpr UINT MSG_TILE_STARTED =
    0x0D04; // a tile's device started: what it holds may have changed
// A device's pending edits changed with no routed command: show the status bar's marker.
inline constexpr UINT MSG_PENDING_CHANGED = 0x0D05;
inline constexpr UINT MSG_DPI_NOTICE = 0x04C8; // logged only
inline constexpr UINT MSG_TRAY = 0x0401;       // the tray icon's callback message
inline constexpr UINT WM_LBUTTONUP_TRAY = 0x0202;
inline constexpr UINT WM_RBUTTONUP_TRAY = 0x0205;

// Power notices (wParam of WM_POWERBROADCAST).
inline constexpr WPARAM PBT_APMSUSPEND = 4;
inline constexpr WPARAM PBT_APMRESUMEAUTOMATIC = 18;

// Window timers of the main window.
inline constexpr UINT_PTR kLayoutTimer = 1011;
// Looks for a launched audio companion until it answers.
inline constexpr UINT_PTR kAudioCompanionTimer = 1012;
inline constexpr UINT_PTR kTrayMenuTimer = 1032;
inline constexpr UINT_PTR kProfileSwitchTimer = 1055;
inline constexpr UINT_PTR kGameRestoreTimer = 1066;
// Shows what a device's first load had to tell (files set aside) once the window is up.
inline constexpr UINT_PTR kProfileNoticeTimer = 1067;
inline constexpr UINT kProfileNoticeDelayMs = 500;
// Ends the short top-most spell that brings the window to the front.
inline constexpr UINT_PTR kTopMostTimer = 1099;

// Tile timers (control timers of a device tile).
inline constexpr UINT kTileLiveFrameTimer = 1000;
inline constexpr UINT kTileLinkCheckTimer = 1001;
inline constexpr UINT kTileSyncTimer = 1002;
inline constexpr UINT kTileAfterSyncTimer1 = 1003;
inline constexpr UINT kTileAfterSyncTimer2 = 1004;
inline constexpr UINT kTilePowerTimer = 1005;
inline constexpr UINT kTileReceiverWatchTimer = 1007;

} // namespace shell
