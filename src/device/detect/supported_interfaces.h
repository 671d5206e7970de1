#pragma once

// The tables that say which HID interfaces the program serves and what kind of device
// stands behind each: the supported-interface rows, the device types and their
// descriptions. Row indices travel in window messages, so the order is fixed.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace detect {

// Device type ids as stored in rows and handed to device objects.
enum class DeviceTypeId : std::uint16_t {
    KeyboardCable = 1,
    MouseCable = 2,
    MousePad = 3,
    MouseReceiver = 6,
    Headset = 7,
    KeyboardReceiver = 9,
};

// The kind value of a device type, handed to its device object.
enum class DeviceKind : std::int32_t { Keyboard = 0, Mouse = 1, MousePad = 2, Headset = 3 };

// What the program does with an interface of a row.
enum class InterfaceRole : std::uint16_t {
    Command = 0,    // the vendor command interface of the channel
    Consumer = 255, // the consumer-control input interface the listener reads
};

struct SupportedInterface {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t interfaceNumber = 0;
    std::uint16_t collection = 0;
    DeviceTypeId typeId = DeviceTypeId::KeyboardCable;
    InterfaceRole role = InterfaceRole::Command;
    bool present = false;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    bool paired = false;
    std::uint16_t partner = 0;
    std::wstring path; // while present

    bool isAbsent() const { return !present && path.empty(); }
};

inline constexpr std::size_t kSupportedInterfaceCount = 11;

// The factory rows, every one absent.
const std::array<SupportedInterface, kSupportedInterfaceCount>& supportedInterfaces();

// Two rows name the same interface when every identifying field is equal (the present
// flag, the pairing and the path are state, not identity).
bool isSameInterface(const SupportedInterface& a, const SupportedInterface& b);

bool isKeyboard(DeviceTypeId type);
bool isMouse(DeviceTypeId type);
bool isReceiverType(DeviceTypeId type);
bool isCableType(DeviceTypeId type); // the cable rows of devices that also have a receiver

struct DeviceType {
    std::wstring_view tileDescriptionFile;
    std::wstring_view tabHeaderName;
    std::wstring_view powerSwitchName;
    std::wstring_view typeWord;
    std::int32_t tileOrder;
    std::int32_t descriptionRow;
    std::int32_t switchIndex;
    DeviceKind kindValue;
    std::uint16_t vendorId;
    std::uint16_t productId;
    DeviceTypeId typeId;
    InterfaceRole role;
};

struct DeviceDescription {
    std::int32_t lightCount;
    std::int32_t keyCount;
    bool wireless;
    std::int32_t reserved; // always -1
    std::wstring_view descriptionFile;
    std::wstring_view lightPresetName;
};

const std::array<DeviceType, 4>& deviceTypes();
const std::array<DeviceDescription, 4>& deviceDescriptions();

// The device type whose command row leads to this row's device (a receiver row maps to its
// cable partner's type), or nullptr for a row no type describes.
const DeviceType* deviceTypeForRow(std::size_t row);

} // namespace detect
