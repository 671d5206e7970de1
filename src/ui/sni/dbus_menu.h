#pragma once

#include "platform/result.h"
#include "ui/menu_wnd.h"

#include <cstdint>
#include <mutex>
#include <vector>

struct sd_bus;

namespace ui::sni {

// The tray icon's menu as a com.canonical.dbusmenu object, which the panel reads and
// draws itself: a flat list under the root (id 0), item k having id k + 1. A click on an
// item posts WM_MENUCLICK with the item's name to the target window, the way the
// program's own menu window does.
class DbusMenu {
public:
    static constexpr const char* kPath = "/MenuBar";

    explicit DbusMenu(HWND target) : m_target(target) {}

    // On the bus thread.
    [[nodiscard]] platform::Result<void> exportOn(sd_bus* bus);
    // Any thread: takes the items and answers the layout's new revision, which the bus
    // thread then announces with announce().
    std::uint32_t setItems(std::vector<MenuItemText> items);
    static void announce(sd_bus* bus, std::uint32_t revision);

    // For the bus callbacks.
    struct Snapshot {
        std::vector<MenuItemText> items;
        std::uint32_t revision = 0;
    };
    Snapshot snapshot() const;
    HWND target() const { return m_target; }

private:
    HWND m_target;
    mutable std::mutex m_lock;
    std::vector<MenuItemText> m_items; // guarded by m_lock
    std::uint32_t m_revision = 1;      // guarded by m_lock
};

} // namespace ui::sni
