#include "pages/models/profile_device_steps.h"

#include "device/model/usb_device_model.h"

namespace pages {

void adoptPanelProfile(model::UsbDeviceModel& device, const ProfilePanelModel& panel)
{
    device.setProfileBaseName(panel.currentProfileId());
}

DeviceStepsResult loadAndWriteProfile(model::UsbDeviceModel& device, const ProfilePanelModel& panel,
                                      StaleMacroKeys stale)
{
    DeviceStepsResult result;
    adoptPanelProfile(device, panel);
    (void)device.LoadProfile();
    if (stale == StaleMacroKeys::Drop)
        device.DropStaleMacroKeys();
    device.RefreshView();
    (void)device.WriteSlotRecord(0, 0);

    const protocol::MacroWrite written = device.WriteMacros(device.CollectMacros());
    auto verdict = ProfilePanelModel::macroWriteVerdict(written.pageResult());
    result.message = verdict.message;
    if (!verdict.continueWithKeyMap)
        return result;
    (void)device.WriteProfileKeyMap(0);
    result.keyMapWritten = true;
    return result;
}

} // namespace pages
