#pragma once

// The lighting page's side of the main window's routing: effect, levels, direction and
// colour changes, the custom colours painted on the keyboard's picture, the audio colours
// and the same-lighting button.

#include <cstdint>
#include <functional>
#include <optional>

namespace shell {
class PageHost;
class ShellDevice;
} // namespace shell

namespace model {
class KeyboardModel;
}

namespace pages {

struct LightingHooks {
    // The colour window; the colour picked, or nullopt when cancelled. Default: the
    // modal colour window over the main window.
    std::function<std::optional<std::uint32_t>(std::uint32_t initial)> pickColour;
};

void installLightingHandlers(shell::PageHost& window, LightingHooks hooks = {});

// Whether a click on key n of the device's picture paints that key (the lighting page is
// shown and the custom colour effect is on) rather than opening the key assignment page.
bool paintsKeys(shell::ShellDevice* device);
bool paintsKeys(model::KeyboardModel& keyboard);

} // namespace pages
