#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hid {

// What an open asks for. Every caller in the program opens overlapped and shared.
struct OpenMode {
    bool read = true;
    bool write = true;
    bool overlapped = true;
    bool exclusive = false;
};

inline constexpr OpenMode kProbeMode{true, false, true, false};
inline constexpr OpenMode kChannelMode{true, true, true, false};

// Why an open failed, where the caller can do something about it.
struct OpenFailure {
    enum class Kind { NotFound, PermissionDenied, Other };
    Kind kind = Kind::NotFound;
    std::string node; // what the system refused: "/dev/hidraw3"
    OpenMode mode;    // what was asked for
    std::string reason;
};

struct Attributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
};

// The collection's capabilities; report lengths include the report id byte.
struct Caps {
    std::uint16_t usage = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
    std::uint16_t numberInputButtonCaps = 0;
    std::uint16_t numberInputValueCaps = 0;
    std::uint16_t numberOutputButtonCaps = 0;
    std::uint16_t numberOutputValueCaps = 0;
    std::uint16_t numberFeatureButtonCaps = 0;
    std::uint16_t numberFeatureValueCaps = 0;
};

inline constexpr int kStatusSuccess = 0x00110000; // the HID parser's success status

// One entry of a report kind's data list: a button range or a single value usage.
struct DataEntry {
    bool isButton = false;
    std::uint16_t usagePage = 0;
    std::int32_t status = 0;
    std::uint32_t reportId = 0;
    bool isSet = false;
    // Button part.
    std::uint16_t usageMin = 0;
    std::uint16_t usageMax = 0;
    std::uint32_t maxUsageListLength = 0;
    std::vector<std::uint16_t> usages;
    // Value part.
    std::uint16_t usage = 0;
    std::uint32_t value = 0;
    std::int32_t scaledValue = 0;
};

} // namespace hid
