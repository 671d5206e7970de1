#include "device/detect/supported_interfaces.h"

#include "device/usb_ids.h"

namespace detect {
namespace {

using T = DeviceTypeId;
using R = InterfaceRole;
using K = DeviceKind;

SupportedInterface row(std::uint16_t vendorId, std::uint16_t productId,
                       std::uint16_t interfaceNumber, std::uint16_t collection, T type, R role,
                       std::uint16_t usagePage, std::uint16_t usage, bool paired,
                       std::uint16_t partner)
{
    SupportedInterface r;
    r.vendorId = vendorId;
    r.productId = productId;
    r.interfaceNumber = interfaceNumber;
    r.collection = collection;
    r.typeId = type;
    r.role = role;
    r.usagePage = usagePage;
    r.usage = usage;
    r.paired = paired;
    r.partner = partner;
    return r;
}

} // namespace

const std::array<SupportedInterface, kSupportedInterfaceCount>& supportedInterfaces()
{
    using namespace usb;
    constexpr auto V = kHalvekVendorId;
    constexpr auto vp = kCommandUsagePage;
    constexpr auto vu = kCommandUsage;
    constexpr auto cp = kConsumerUsagePage;
    constexpr auto cu = kConsumerUsage;
    static const std::array<SupportedInterface, kSupportedInterfaceCount> rows{
        row(V, kKeyboardCableProductId, 1, 4, T::KeyboardCable, R::Command, vp, vu, true, 2),
        row(V, kKeyboardCableProductId, 1, 3, T::KeyboardCable, R::Consumer, cp, cu, true, 3),
        row(V, kKeyboardReceiverProductId, 1, 4, T::KeyboardReceiver, R::Command, vp, vu, true, 0),
        row(V, kKeyboardReceiverProductId, 1, 3, T::KeyboardReceiver, R::Consumer, cp, cu, true, 1),
        row(V, kMouseCableProductId, 1, 4, T::MouseCable, R::Command, vp, vu, true, 6),
        row(V, kMouseCableProductId, 1, 3, T::MouseCable, R::Consumer, cp, cu, true, 7),
        row(V, kMouseReceiverProductId, 1, 4, T::MouseReceiver, R::Command, vp, vu, true, 4),
        row(V, kMouseReceiverProductId, 1, 3, T::MouseReceiver, R::Consumer, cp, cu, true, 5),
        row(V, kMousePadProductId, 1, 4, T::MousePad, R::Command, vp, vu, false, 0),
        row(V, kMousePadProductId, 1, 3, T::MousePad, R::Consumer, cp, cu, false, 0),
        row(kHeadsetVendorId, kHeadsetProductId, 3, 0, T::Headset, R::Command, cp, cu, false, 0),
    };
    return rows;
}

bool isSameInterface(const SupportedInterface& a, const SupportedInterface& b)
{
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           a.interfaceNumber == b.interfaceNumber && a.collection == b.collection &&
           a.typeId == b.typeId && a.role == b.role && a.usagePage == b.usagePage &&
           a.usage == b.usage;
}

bool isKeyboard(DeviceTypeId type)
{
    return type == T::KeyboardCable || type == T::KeyboardReceiver;
}

bool isMouse(DeviceTypeId type)
{
    return type == T::MouseCable || type == T::MouseReceiver;
}

bool isReceiverType(DeviceTypeId type)
{
    return type == T::KeyboardReceiver || type == T::MouseReceiver;
}

bool isCableType(DeviceTypeId type)
{
    return type == T::KeyboardCable || type == T::MouseCable;
}

const std::array<DeviceType, 4>& deviceTypes()
{
    using namespace usb;
    constexpr std::wstring_view tile = L"XML\\CustomControlXML\\DeviceOption.xml";
    constexpr std::wstring_view header = L"tab_header_device";
    constexpr std::wstring_view power = L"device_power_switch";
    static const std::array<DeviceType, 4> types{{
        {tile, header, power, L"mouse", 0, 0, 0, K::Mouse, kHalvekVendorId, kMouseCableProductId,
         T::MouseCable, R::Command},
        {tile, header, power, L"keyboard", 1, 1, -1, K::Keyboard, kHalvekVendorId,
         kKeyboardCableProductId, T::KeyboardCable, R::Command},
        {tile, header, power, L"MousePad", 2, 2, 1, K::MousePad, kHalvekVendorId,
         kMousePadProductId, T::MousePad, R::Command},
        {tile, header, power, L"HD", 3, 3, -1, K::Headset, kHeadsetVendorId, kHeadsetProductId,
         T::Headset, R::Command},
    }};
    return types;
}

const std::array<DeviceDescription, 4>& deviceDescriptions()
{
    static const std::array<DeviceDescription, 4> descriptions{{
        {15, 11, true, -1, L"XML\\DeviceXml\\mousedevice.xml", L"novik_light"},
        {170, 170, false, -1, L"XML\\DeviceXml\\keyboarddevice.xml", L"novik_light"},
        {15, 0, false, -1, L"XML\\DeviceXml\\mousepaddevice.xml", L"novik_light"},
        {13, 0, false, -1, L"XML\\DeviceXml\\hs6533device.xml", L"novik_light"},
    }};
    return descriptions;
}

const DeviceType* deviceTypeForRow(std::size_t row)
{
    const auto& rows = supportedInterfaces();
    if (row >= rows.size())
        return nullptr;
    const auto& r = rows[row];
    // A device reached through its receiver is described by its cable identity.
    const auto& identity = (r.paired && isReceiverType(r.typeId)) ? rows[r.partner] : r;
    for (const auto& type : deviceTypes()) {
        if (type.vendorId == identity.vendorId && type.productId == identity.productId)
            return &type;
    }
    return nullptr;
}

} // namespace detect
