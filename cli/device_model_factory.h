#pragma once

// The device object halvekctl drives for a store's device kind, pointed at the store's
// folders and its selected profile.

#include "profile_store.h"

#include "device/model/usb_device_model.h"

#include <memory>
#include <string>

namespace cli {

// Null, with a message on stderr, for a kind that has no device object yet.
std::unique_ptr<model::UsbDeviceModel> makeDeviceModel(const DeviceStore& store,
                                                       const std::string& commandName);

} // namespace cli
