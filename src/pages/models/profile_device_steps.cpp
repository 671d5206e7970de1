#include "pages/models/profile_device_steps.h"

#include "device/model/usb_device_model.h"
#include "platform/debug_output.h"

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

ChangeResult commitPending(model::UsbDeviceModel& device, PendingChanges& pending)
{
    ChangeResult result;
    result.save(device.CommitProfile());
    const std::set<ProfileBlock> blocks = pending.unwrittenBlocks();
    if (blocks.contains(ProfileBlock::KeyMap) || blocks.contains(ProfileBlock::Macros)) {
        const std::vector<int> macros = device.CollectMacros();
        const protocol::MacroWrite written = device.WriteMacros(macros);
        if (written.overflow > 0 || written.tooLarge)
            result.device(protocol::Status::NoReply);
        else if (!macros.empty())
            result.device(written.status);
        // Keys must not name macros the device did not take.
        if (result.isWritten() && blocks.contains(ProfileBlock::KeyMap))
            result.device(device.WriteProfileKeyMap(0));
    }
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
