#pragma once

#include <cstddef>
#include <vector>

class CControlUI;
class CDeviceKeyButtonUI;

namespace pages {

// The key and light buttons of a picture panel: every "DeviceKeyButton" child named "key_"
// + n (any case, n below keyCount) is key n; one whose user data (the keyboard: or name) is
// "light_" + m (m below lightCount) is light m, and its overlay is set to white at full
// brightness. Without a panel both lists are all null.
enum class LightNames { UserData, NameOrUserData };
struct PictureButtons {
    std::vector<CDeviceKeyButtonUI*> keys;
    std::vector<CDeviceKeyButtonUI*> lights;
};
[[nodiscard]] PictureButtons mapPictureButtons(CControlUI* panel, int keyCount, int lightCount,
                                               LightNames lightNames = LightNames::UserData);

} // namespace pages
