#pragma once

#include "platform/registered_messages.h"
#include "platform/window_messages.h"

#include <array>
#include <string_view>

namespace shell {

// The instance message and the five messages exchanged with other programs, in the
// order they are registered. The fifth ends in "BE19", unlike the four before it.
inline constexpr std::array<std::wstring_view, 5> kGuidMessageNames{
    L"{4695579F-999A-41d4-9FAF-EFFCE93EBF15}", L"{4695579F-999A-41d4-9FAF-EFFCE93EBF16}",
    L"{4695579F-999A-41d4-9FAF-EFFCE93EBF17}", L"{4695579F-999A-41d4-9FAF-EFFCE93EBF18}",
    L"{4695579F-999A-41d4-9FAF-EFFCE93EBE19}"};

struct AppMessages {
    platform::MessageId instance = 0;
    std::array<platform::MessageId, 5> guid{};
    // The main window, once it exists: the handle other parts post to.
    HWND mainWindow = nullptr;
};

// Set once during start-up, read by the main window.
AppMessages& appMessages();

} // namespace shell
