#pragma once

// The picture's key labels and the key page's shown key, kept to the device's key list.

#include "profile/key_function_code.h"

#include <vector>

class CTessaryUSBDevice;

namespace pages {

enum class KeyNames { Keyboard, FromFactoryCode };

// Every key's tooltip, reassigned mark and cap label again.
void redrawKeyLabels(CTessaryUSBDevice& device, const std::vector<profile::KeyAssignment>& keys,
                     KeyNames names);

// The key list was read again (profile switch, reset, macro removal): the key page shows the
// selected key's value from it, and unapplied choices on the page are dropped.
void showStoredKey(CTessaryUSBDevice& device);

} // namespace pages
