#include "app/device_lists.h"

#include <gtest/gtest.h>

#include <utility>

using detect::DeviceKind;
using detect::DeviceTypeId;

TEST(DeviceLists, EveryDeviceTypeJoinsItsKindsList)
{
    // A receiver row must land beside its cable: the synchronised lighting and the routes
    // find a device by its list only.
    const std::pair<DeviceTypeId, DeviceKind> table[] = {
        {DeviceTypeId::KeyboardCable, DeviceKind::Keyboard},
        {DeviceTypeId::KeyboardReceiver, DeviceKind::Keyboard},
        {DeviceTypeId::MouseCable, DeviceKind::Mouse},
        {DeviceTypeId::MouseReceiver, DeviceKind::Mouse},
        {DeviceTypeId::MousePad, DeviceKind::MousePad},
        {DeviceTypeId::Headset, DeviceKind::Headset},
    };
    for (const auto& [type, kind] : table)
        EXPECT_EQ(app::DeviceLists::kindOf(type), kind) << static_cast<int>(type);
    EXPECT_EQ(app::DeviceLists::kindOf(static_cast<DeviceTypeId>(4)), std::nullopt);
}

TEST(DeviceLists, AKindOutsideTheEnumIsRefusedNotIndexed)
{
    app::DeviceLists lists;
    // A kind read as a number from elsewhere must not index past the lists.
    const auto stray = static_cast<DeviceKind>(9);
    EXPECT_FALSE(lists.add(stray, nullptr));
    EXPECT_TRUE(lists.list(stray).empty());
    EXPECT_EQ(lists.first(stray), nullptr);
    EXPECT_TRUE(lists.add(DeviceKind::Headset, nullptr));
    EXPECT_EQ(lists.list(DeviceKind::Headset).size(), 1u);
    EXPECT_TRUE(lists.list(DeviceKind::Keyboard).empty());
}
