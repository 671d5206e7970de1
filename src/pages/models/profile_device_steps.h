#pragma once

// What a device does when its profile panel switches or resets the profile: load the
// profile the panel now names and write it to the device, stopping before the key map when
// the macros do not fit or the device refuses them. UI-free, so the page, halvekctl and the tests
// run the same steps.

#include "pages/models/pending_changes.h"
#include "pages/models/profile_panel_model.h"

#include <optional>

namespace model {
class UsbDeviceModel;
}

namespace pages {

// The device takes the panel's current profile: its name is the profile file's base name.
void adoptPanelProfile(model::UsbDeviceModel& device, const ProfilePanelModel& panel);

enum class StaleMacroKeys { Drop, Keep };

struct DeviceStepsResult {
    std::optional<PanelMessage> message; // to show the user, if any
    bool keyMapWritten = false;
};

// Load, refresh, slot record, macros, key map: the switch (stale macro keys dropped) and the
// reset (kept) of the panel. What was pending belonged to the profile shown before; what the
// device did not take of the new one is pending afterwards, and the message says why.
DeviceStepsResult loadAndWriteProfile(model::UsbDeviceModel& device, const ProfilePanelModel& panel,
                                      StaleMacroKeys stale, PendingChanges& pending);

// The window's "Save and write": saves the profile once and writes the blocks still pending
// (the macros and the key map that names them go together, as writeMacrosThenKeys does). The
// pending state follows the result.
[[nodiscard]] ChangeResult commitPending(model::UsbDeviceModel& device, PendingChanges& pending);

// Drops the pending edits: the profile is read again from its file and shown.
void discardPending(model::UsbDeviceModel& device, PendingChanges& pending);

} // namespace pages
