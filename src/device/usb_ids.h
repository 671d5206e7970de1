#pragma once

// USB ids of the supported devices, named once for detection and the emulated devices.

#include <cstdint>

namespace usb {

inline constexpr std::uint16_t kHalvekVendorId = 0x36B0;
inline constexpr std::uint16_t kHeadsetVendorId = 0x0C76;

inline constexpr std::uint16_t kKeyboardCableProductId = 0x5078;
inline constexpr std::uint16_t kKeyboardReceiverProductId = 0x5001;
inline constexpr std::uint16_t kMouseCableProductId = 0x221C;
inline constexpr std::uint16_t kMouseReceiverProductId = 0x221D;
inline constexpr std::uint16_t kMousePadProductId = 0x1004;
inline constexpr std::uint16_t kHeadsetProductId = 0x1630;

// The keyboard's interfaces and the collections of its composite interface.
inline constexpr std::uint32_t kBootKeyboardInterface = 0;
inline constexpr std::uint32_t kCommandInterface = 1;
inline constexpr std::uint32_t kConsumerCollection = 3;
inline constexpr std::uint32_t kCommandCollection = 4;

inline constexpr std::uint16_t kConsumerUsagePage = 0x000C;
inline constexpr std::uint16_t kConsumerUsage = 0x0001;
inline constexpr std::uint16_t kCommandUsagePage = 0xFF1C;
inline constexpr std::uint16_t kCommandUsage = 0x0092;
inline constexpr std::uint8_t kCommandReportId = 0x04;
inline constexpr std::uint8_t kConsumerReportId = 0x03;

} // namespace usb
