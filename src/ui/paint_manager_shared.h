#pragma once

// Shared by the paint manager's source files, and by nothing else.

#include "ui/paint_manager_ui.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ui::detail {

// Delivers the notifications sent with `async` set, once the sender's handler has returned.
inline constexpr UINT kAsyncNotifyMessage = WM_USER + 199;
// The window timer that brings paced damage to its frame; below the tooltip's.
inline constexpr UINT_PTR kPacedPaintTimer = kControlTimerBase - 2;

// What every paint manager of the process shares; `lock` guards the rest.
struct PaintProcess {
    std::mutex lock;
    void* instance = nullptr;
    std::wstring instancePath;
    std::wstring resourcePath;
    int resourceType = CPaintManagerUI::UILIB_FILE;
    std::vector<CPaintManagerUI*> managers;
    std::map<int, FontStyle> sharedFonts;
    std::optional<FontStyle> sharedDefaultFont;
    std::map<std::wstring, std::wstring> sharedStyles;
    std::map<std::wstring, std::wstring> sharedDefaultAttributes;
};

PaintProcess& process();
// Milliseconds of the steady clock, for event and notification time stamps.
DWORD tickCount();

} // namespace ui::detail
