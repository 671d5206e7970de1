#include "pages/models/profile_device_steps.h"

#include "device/model/usb_device_model.h"
#include "pages/models/key_map_write.h"
#include "platform/debug_output.h"

namespace pages {

void adoptPanelProfile(model::UsbDeviceModel& device, const ProfilePanelModel& panel)
{
    device.setProfileBaseName(panel.currentProfileId());
}

DeviceStepsResult loadAndWriteProfile(model::UsbDeviceModel& device, const ProfilePanelModel& panel,
                                      StaleMacroKeys stale, PendingChanges& pending)
{
    DeviceStepsResult result;
    // Edits of the profile shown before were settled or dropped by the user's answer.
    pending.clear();
    adoptPanelProfile(device, panel);
    if (device.LoadProfile() != model::ProfileResult::Ok)
        platform::debugOutput(L"the panel's profile could not be loaded");
    if (stale == StaleMacroKeys::Drop)
        device.DropStaleMacroKeys();
    device.RefreshView();
    // A family without a part is not asked for it: its "not supported" is no shortfall.
    if (device.has(model::Capability::SlotRecord)) {
        const protocol::Status slot = device.WriteSlotRecord(0, 0);
        pending.committed(ProfileBlock::Lighting, writtenBy(slot));
        pending.committed(ProfileBlock::Settings, writtenBy(slot));
    }
    if (!device.has(model::Capability::Macros) || !device.has(model::Capability::KeyMap)) {
        if (!result.message)
            result.message = pending.reason();
        return result;
    }

    const KeyMapWrite keys = writeMacrosThenKeys(device);
    pending.committed(ProfileBlock::Macros, writtenBy(keys.macroBlockStatus()));
    pending.committed(ProfileBlock::KeyMap, writtenBy(keys.keyMapStatus()));
    result.keyMapWritten = keys.isKeyMapWritten();
    result.message = keys.message();
    if (!result.message)
        result.message = pending.reason();
    return result;
}

ChangeResult commitPending(model::UsbDeviceModel& device, PendingChanges& pending)
{
    ChangeResult result;
    result.save(device.CommitProfile());
    const std::set<ProfileBlock> blocks = pending.unwrittenBlocks();
    if (blocks.contains(ProfileBlock::KeyMap) || blocks.contains(ProfileBlock::Macros))
        result.device(writeMacrosThenKeys(device).status());
    if (blocks.contains(ProfileBlock::Lighting) || blocks.contains(ProfileBlock::Settings)) {
        result.device(device.ShowLighting());
        if (device.has(model::Capability::SlotRecord))
            result.device(device.WriteSlotRecord(0, 0));
    }
    for (ProfileBlock block : blocks)
        pending.committed(block, result);
    pending.saved(result.saved);
    return result;
}

void discardPending(model::UsbDeviceModel& device, PendingChanges& pending)
{
    if (device.LoadProfile() != model::ProfileResult::Ok)
        platform::debugOutput(L"the profile could not be read again after a discard");
    device.RefreshView();
    pending.clear();
}

} // namespace pages
