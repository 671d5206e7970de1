#include "device/protocol/status.h"

namespace protocol {

std::string describe(Status status)
{
    const char* text = "unknown status";
    switch (status) {
    case Status::Ok:
        text = "success";
        break;
    case Status::NoReply:
        text = "channel closed or no reply";
        break;
    case Status::WriteFailed:
        text = "request could not be written";
        break;
    case Status::ReceiverAsleep:
        text = "receiver cannot reach the device";
        break;
    case Status::DeviceErrorFF:
        text = "device answered 0xFF";
        break;
    case Status::DeviceErrorFE:
        text = "device answered 0xFE";
        break;
    case Status::BankRefused:
        text = "key map bank refused";
        break;
    case Status::NothingToWrite:
        text = "device reports no key slots, nothing written";
        break;
    case Status::NotSupported:
        text = "not supported by this device";
        break;
    case Status::DeviceHeld:
        text = "device held by another program";
        break;
    }
    return std::string(text) + " (" + std::to_string(code(status)) + ")";
}

} // namespace protocol
