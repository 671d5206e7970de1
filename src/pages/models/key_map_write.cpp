#include "pages/models/key_map_write.h"

#include "device/model/usb_device_model.h"
#include "pages/models/change_result.h"

namespace pages {

protocol::Status KeyMapWrite::macroBlockStatus() const
{
    switch (macros) {
    case MacroBlock::Written:
        return protocol::Status::Ok;
    case MacroBlock::Refused:
        return macroStatus;
    case MacroBlock::DoNotFit:
    case MacroBlock::NotPrepared:
        break;
    }
    return protocol::Status::NothingToWrite;
}

protocol::Status KeyMapWrite::keyMapStatus() const
{
    if (keyMap)
        return *keyMap;
    const protocol::Status macrosFailed = macroBlockStatus();
    return macrosFailed != protocol::Status::Ok ? macrosFailed : protocol::Status::NothingToWrite;
}

protocol::Status KeyMapWrite::status() const
{
    const protocol::Status first = macroBlockStatus();
    return first != protocol::Status::Ok ? first : keyMapStatus();
}

std::optional<PanelMessage> KeyMapWrite::message() const
{
    switch (macros) {
    case MacroBlock::DoNotFit:
        return PanelMessage{L"message_text_16",
                            L"The macros are %d events too long for the device's memory; "
                            L"shorten them and try again.",
                            overflow};
    case MacroBlock::NotPrepared:
        return PanelMessage{L"message_text_7", L"The macros could not be written to the device.",
                            std::nullopt};
    case MacroBlock::Refused:
        switch (macroStatus) {
        case protocol::Status::NoReply:
        case protocol::Status::WriteFailed:
        case protocol::Status::ReceiverAsleep:
        case protocol::Status::DeviceHeld:
            // Nothing got through to the device: the link's own words say why.
            return changeMessage(writtenBy(macroStatus));
        default:
            return PanelMessage{L"macros_refused_text",
                                L"The device did not take the macros, so the keys that use "
                                L"them were not written either. The change is kept; try again.",
                                std::nullopt};
        }
    case MacroBlock::Written:
        break;
    }
    return changeMessage(writtenBy(keyMapStatus()));
}

KeyMapWrite writeMacrosThenKeys(model::UsbDeviceModel& device)
{
    KeyMapWrite result;
    result.macrosUsed = device.CollectMacros();
    // No macro in use: no block, and nothing the key map could point at wrongly.
    if (!result.macrosUsed.empty()) {
        const protocol::MacroWrite written = device.WriteMacros(result.macrosUsed);
        if (written.overflow > 0) {
            result.macros = MacroBlock::DoNotFit;
            result.overflow = written.overflow;
            return result;
        }
        if (written.tooLarge) {
            result.macros = MacroBlock::NotPrepared;
        } else if (written.status != protocol::Status::Ok) {
            result.macros = MacroBlock::Refused;
            result.macroStatus = written.status;
            return result;
        }
    }
    result.keyMap = device.WriteProfileKeyMap(0);
    return result;
}

} // namespace pages
