#pragma once

#include <cstdint>

// USB identities of the devices the program serves. The maker's vendor id lives here and
// nowhere else; emulated devices and the detection tables both read it.
namespace usb {

inline constexpr std::uint16_t kMakerVendorId = 0x3E1A;
inline constexpr std::uint16_t kHeadsetVendorId = 0x0C76;

inline constexpr std::uint16_t kKeyboardCableProductId = 0x5078;
inline constexpr std::uint16_t kKeyboardReceiverProductId = 0x5001;
inline constexpr std::uint16_t kMouseCableProductId = 0x221C;
inline constexpr std::uint16_t kMouseReceiverProductId = 0x221D;
inline constexpr std::uint16_t kMousePadProductId = 0x1004;
inline constexpr std::uint16_t kHeadsetProductId = 0x1630;

inline constexpr std::uint16_t kVendorUsagePage = 0xFF1C;
inline constexpr std::uint16_t kVendorUsage = 0x0092;
inline constexpr std::uint16_t kConsumerUsagePage = 0x000C;
inline constexpr std::uint16_t kConsumerUsage = 0x0001;

inline constexpr std::uint16_t kCommandInterface = 1;
inline constexpr std::uint16_t kCommandCollection = 4;
inline constexpr std::uint16_t kConsumerCollection = 3;

} // namespace usb
