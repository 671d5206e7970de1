#pragma once

// Reading usages out of a report, as the system's HID parser does for buttons and values.
// A report always starts with its report id byte (0 when the device numbers no reports).

#include "device/hid/report_descriptor.h"

#include <cstdint>
#include <span>
#include <vector>

namespace hid {

// Status values of the HID parser; they reach callers unchanged.
inline constexpr std::int32_t kStatusInvalidReportLength = static_cast<std::int32_t>(0xC0110003);
inline constexpr std::int32_t kStatusUsageNotFound = static_cast<std::int32_t>(0xC0110004);
inline constexpr std::int32_t kStatusValueOutOfRange = static_cast<std::int32_t>(0xC0110005);
inline constexpr std::int32_t kStatusBadLogicalPhysical = static_cast<std::int32_t>(0xC0110006);
inline constexpr std::int32_t kStatusIncompatibleReportId = static_cast<std::int32_t>(0xC011000A);

// The usages of a button cap that are on in the report, in slot order, at most
// `capacity` of them. `reportLength` is the kind's report byte length.
[[nodiscard]] std::int32_t getUsages(const ReportCap& cap, std::span<const std::uint8_t> report,
                                     std::uint16_t reportLength, std::size_t capacity,
                                     std::vector<std::uint16_t>& usages);

// The raw bits of one usage of a value cap (at most 32 of them).
[[nodiscard]] std::int32_t getUsageValue(const ReportCap& cap, std::uint16_t usage,
                                         std::span<const std::uint8_t> report,
                                         std::uint16_t reportLength, std::uint32_t& value);

// The value mapped from the logical onto the physical range.
[[nodiscard]] std::int32_t getScaledUsageValue(const ReportCap& cap, std::uint16_t usage,
                                               std::span<const std::uint8_t> report,
                                               std::uint16_t reportLength, std::int32_t& value);

// How many button usages of the page one report of the kind can hold at most.
std::uint32_t maxUsageListLength(const CollectionInfo& collection, ReportKind kind,
                                 std::uint16_t usagePage);

} // namespace hid
