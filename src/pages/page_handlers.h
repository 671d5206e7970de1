#pragma once

// The device pages' side of the main window's routing: the profile panel and the keyboard's
// system settings page, installed as the window's page handlers.

#include "pages/models/profile_panel_model.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace shell {
class PageHost;
class ShellDevice;
} // namespace shell

class CDeviceProfileUI;

namespace pages {

using PromptFunction = std::function<unsigned(const PanelMessage& message, int buttonMode)>;

// The window's own prompt, with the message's number put in when it has one.
PromptFunction windowPrompt(shell::PageHost& window);

// A colour chosen by the user; nullopt when cancelled.
using ColourPicker = std::function<std::optional<std::uint32_t>(std::uint32_t initial)>;
// The colour window over the main window.
ColourPicker windowColourPicker(shell::PageHost& window);

// How the pages ask the user; tests replace them. Defaults: the window's prompts and the UI
// library's file dialog.
struct PageHooks {
    // 1 when confirmed; buttonMode 0 is a notice, 1 a question.
    std::function<unsigned(const PanelMessage& message, int buttonMode)> prompt;
    // `proposedName` is the file name a save starts with (empty: none).
    std::function<std::optional<std::filesystem::path>(bool save, std::wstring_view proposedName)>
        pickProfileFile;
    // The colour window of the lighting page; nullopt when cancelled.
    std::function<std::optional<std::uint32_t>(std::uint32_t initial)> pickColour;
};

void installPageHandlers(shell::PageHost& window, PageHooks hooks = {});

// The profile panel on a device's page; null when the page has none.
CDeviceProfileUI* profilePanelOf(shell::ShellDevice* device);

} // namespace pages
