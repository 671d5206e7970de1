#include "app/power_display.h"

namespace app {

std::optional<PowerDisplay> powerDisplay(std::span<const std::uint8_t> block)
{
    if (block.size() < 4)
        return std::nullopt;
    PowerDisplay display;
    const int level = block[0];
    display.progress = 100 - level;
    display.valueText = std::to_wstring(level) + L"%";
    const bool wireless = block[3] != 0;
    switch (block[1]) {
    case 0:
        display.progressVisible = true;
        display.statusImage = L"file='power/powered.png'";
        break;
    case 1:
        display.progressVisible = !wireless;
        display.statusImage =
            wireless ? L"file='power/wuxian_powering.png'" : L"file='power/powering.png'";
        break;
    case 2:
        display.progressVisible = true;
        display.statusImage = L"file='power/power.png'";
        break;
    default:
        break;
    }
    return display;
}

} // namespace app
