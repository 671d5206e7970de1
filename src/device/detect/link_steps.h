#pragma once

// What the UI thread does when a supported interface arrives or leaves: the decision
// only, over a copy of the rows, so the main window, halvekctl and the tests share it.

#include "device/detect/supported_interfaces.h"

#include <optional>
#include <string_view>
#include <vector>

namespace detect {

enum class ArrivalAction {
    SwitchLink,   // the cable came while the receiver was in use: move to the cable
    StayOnCable,  // the receiver came while the cable is in use
    OpenChannel,  // open the command channel of the identity row's device
    OpenListener, // open the listener on a consumer interface
};

enum class RemovalAction {
    SwitchLink,    // the cable left while the receiver is present: move to the receiver
    Nothing,       // the receiver left while the cable is in use
    CloseChannel,  // neither way to the device is left
    CloseListener, // a consumer interface left
};

// True when the row has a partner that is present and names this row as its partner:
// both ways to the device are there.
bool partnerPresent(const std::vector<SupportedInterface>& rows, std::size_t row);

// The row that identifies the device behind a row: a paired receiver row answers for its
// cable partner, every other row for itself.
std::size_t identityRow(const std::vector<SupportedInterface>& rows, std::size_t row);

// Out-of-range rows (from a message) give nullopt: nothing is done for them.
[[nodiscard]] std::optional<ArrivalAction>
decideArrival(const std::vector<SupportedInterface>& rows, std::size_t row);
[[nodiscard]] std::optional<RemovalAction>
decideRemoval(const std::vector<SupportedInterface>& rows, std::size_t row);

// The link mode a freshly opened channel takes: 2 on a receiver row and 1 on other keyboard
// and mouse rows; nullopt for the mouse pad and headset, whose channels keep their
// construction values.
[[nodiscard]] std::optional<int> linkModeForRow(const SupportedInterface& row);

// The debug lines the steps write, by device type.
std::wstring_view arrivalLine(DeviceTypeId type);
std::wstring_view removalLine(DeviceTypeId type);
std::wstring_view lostLine(DeviceTypeId type); // command interface lost; empty when none

} // namespace detect
