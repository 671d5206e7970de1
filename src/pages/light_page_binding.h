#pragma once

// How a device object and its lighting page meet: the page shows what the device holds and
// tells the device whether a custom colour group is chosen.

#include "profile/light_info.h"

class CControlUI;
class CLightControlUI;
class CTessaryUSBDevice;

namespace pages {

// The lighting page of a device object; null when its skin has none, or for another control.
CLightControlUI* lightPageOf(CControlUI* devicePage);

// The page shows the device's kind, effect list, light settings, audio colours and custom
// group, as the device holds them now.
void refreshLightPage(CTessaryUSBDevice& device);
void showLightSettings(CTessaryUSBDevice& device, const profile::LightInfo& settings);
void showLightMode(CTessaryUSBDevice& device, int mode);
bool isCustomGroupSelected(CTessaryUSBDevice& device);

} // namespace pages
