#include "pages/models/profile_device_steps.h"

#include "device/model/profile_apply.h"
#include "device/model/usb_device_model.h"
#include "pages/models/key_map_write.h"
#include "platform/debug_output.h"

namespace pages {
namespace {

// Macros before the key map that names them, then the lighting and settings.
void writeBlocks(model::UsbDeviceModel& device, const std::set<ProfileBlock>& blocks,
                 ChangeResult& result)
{
    if (blocks.contains(ProfileBlock::KeyMap) || blocks.contains(ProfileBlock::Macros))
        result.device(writeMacrosThenKeys(device).status());
    if (blocks.contains(ProfileBlock::Lighting) || blocks.contains(ProfileBlock::Settings)) {
        result.device(device.ShowLighting());
        if (device.has(model::Capability::SlotRecord))
            result.device(device.WriteSlotRecord(0, 0));
    }
}

} // namespace

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
    // Held from here: another program's switch between the slot record and the key map
    // would leave the device holding neither profile.
    const model::WholeWriteHold hold(device);
    if (device.LoadProfile() != model::ProfileResult::Ok)
        platform::debugOutput(L"the panel's profile could not be loaded");
    if (stale == StaleMacroKeys::Drop)
        device.DropStaleMacroKeys();
    device.RefreshView();
    const bool hasSlot = device.has(model::Capability::SlotRecord);
    const bool hasKeys =
        device.has(model::Capability::Macros) && device.has(model::Capability::KeyMap);
    if (!hold.isHeld()) {
        // The profile is shown; what the device did not get waits for it.
        const ChangeResult refused = writtenBy(hold.status());
        if (hasSlot) {
            pending.committed(ProfileBlock::Lighting, refused);
            pending.committed(ProfileBlock::Settings, refused);
        }
        if (hasKeys) {
            pending.committed(ProfileBlock::Macros, refused);
            pending.committed(ProfileBlock::KeyMap, refused);
        }
        result.message = pending.reason();
        return result;
    }
    // A family without a part is not asked for it: its "not supported" is no shortfall.
    if (hasSlot) {
        const protocol::Status slot = device.WriteSlotRecord(0, 0);
        pending.committed(ProfileBlock::Lighting, writtenBy(slot));
        pending.committed(ProfileBlock::Settings, writtenBy(slot));
    }
    if (!hasKeys) {
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
    if (!blocks.empty()) {
        const model::WholeWriteHold hold(device);
        if (hold.isHeld())
            writeBlocks(device, blocks, result);
        else
            result.device(hold.status());
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
