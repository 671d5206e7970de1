#include "pages/models/change_result.h"

namespace pages {

std::optional<PanelMessage> changeMessage(const ChangeResult& result)
{
    if (!result.saved)
        return PanelMessage{L"change_not_saved_text",
                            L"The change could not be saved to the profile file. Check that "
                            L"the data folder can be written; the change is kept here.",
                            std::nullopt};
    switch (result.written) {
    case protocol::Status::Ok:
        return std::nullopt;
    case protocol::Status::NoReply:
    case protocol::Status::WriteFailed:
        return PanelMessage{L"change_not_written_gone_text",
                            L"Not written to the device: it does not answer (unplugged?). The "
                            L"change is saved and is written when the device is back.",
                            std::nullopt};
    case protocol::Status::ReceiverAsleep:
        return PanelMessage{L"change_not_written_asleep_text",
                            L"Not written to the device: the receiver cannot reach it (asleep "
                            L"or out of range). The change is saved and is written when it "
                            L"wakes.",
                            std::nullopt};
    case protocol::Status::DeviceHeld:
        return PanelMessage{L"change_not_written_busy_text",
                            L"Not written to the device: another program is using it. The "
                            L"change is saved; try again when that program is done.",
                            std::nullopt};
    case protocol::Status::NotSupported:
        return PanelMessage{L"change_not_written_unsupported_text",
                            L"Not written to the device: this device does not have that "
                            L"setting. The change is saved.",
                            std::nullopt};
    case protocol::Status::DeviceErrorFF:
    case protocol::Status::DeviceErrorFE:
    case protocol::Status::BankRefused:
    case protocol::Status::NothingToWrite:
        break;
    }
    return PanelMessage{L"change_not_written_refused_text",
                        L"Not written to the device: the device refused it. The change is "
                        L"saved; try again.",
                        std::nullopt};
}

} // namespace pages
