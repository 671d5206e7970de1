#pragma once

#include "device/hid/hid_backend.h"

namespace hid {
class InputQueue;
}

namespace hid::sim {

// Lists and opens the collections of every plugged SimInterface.
Backend& simBackend();

// The input queue of a connection simBackend() opened (of no other): the device server
// reads it directly to pass its clients' discards along in order with the reports.
InputQueue& inputQueueOf(Connection& connection);

} // namespace hid::sim
