// What the main window hands the settings window's update check.
#include "app/main_wnd.h"
#include "update/update_check.h"

namespace app {

std::vector<update::UpdateEntry> CMainWnd::updateEntries() const
{
    // Tile k shows device k; the entries pair each model row with the tile of its
    // position only when that tile's device is of the row's kind.
    std::vector<update::DeviceTile> tiles;
    for (const shell::ShellDevice* device : m_devices) {
        update::DeviceTile tile;
        const auto kind = DeviceLists::kindOf(device->typeId());
        // A mouse pad or headset has no row of its own: never paired with one.
        tile.kind = kind == detect::DeviceKind::Mouse      ? update::DeviceKind::Mouse
                    : kind == detect::DeviceKind::Keyboard ? update::DeviceKind::Keyboard
                                                           : update::DeviceKind::Application;
        tile.online = device->isOnline();
        tile.firmwareVersion = tile.online ? device->firmwareVersion() : 0;
        tiles.push_back(tile);
    }
    return update::buildEntries(tiles, update::applicationVersion(),
                                update::applicationVersionLabel(update::applicationVersionText()));
}

} // namespace app
