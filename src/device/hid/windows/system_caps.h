#pragma once

// The system's HID parser names each button and value cap but not where its bits lie in a
// report. Where they lie is found by asking the parser to write the cap's usages into a
// blank report, looking at which bits it set, and reading back reports with a bit added. Kept apart
// from hid.dll so the finding can be checked against known layouts without a device.

#include "device/hid/report_descriptor.h"

#include <cstdint>
#include <span>
#include <vector>

namespace hid::windows {

// One HIDP_BUTTON_CAPS or HIDP_VALUE_CAPS, as far as the layout needs it.
struct SystemCap {
    std::uint8_t reportId = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t linkCollection = 0;
    std::uint16_t bitField = 0; // the main item's flags
    bool isRange = false;
    std::uint16_t usageMin = 0; // the single usage when not a range
    std::uint16_t usageMax = 0;
    // Value caps only.
    std::uint16_t bitSize = 0;
    std::uint16_t reportCount = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::int32_t physicalMin = 0;
    std::int32_t physicalMax = 0;

    bool isArray() const { return (bitField & 0x02) == 0; }
};

// Writes and reads usages as the system's parser does (HidP_SetUsages, HidP_SetUsageValue,
// HidP_GetUsages).
class ReportWriter {
public:
    virtual ~ReportWriter() = default;
    // Every button usage of the cap's page and link collection on in the report.
    virtual bool getUsages(ReportKind kind, const SystemCap& cap,
                           std::span<const std::uint8_t> report,
                           std::vector<std::uint16_t>& usages) = 0;
    // Into the cap's next free slots; false when the parser refuses (no room left).
    virtual bool setUsages(ReportKind kind, const SystemCap& cap,
                           std::span<const std::uint16_t> usages,
                           std::span<std::uint8_t> report) = 0;
    virtual bool setValue(ReportKind kind, const SystemCap& cap, std::uint16_t usage,
                          std::uint32_t value, std::span<std::uint8_t> report) = 0;
};

// The kind's layout with every cap placed. A cap the writer cannot place (it refuses it,
// or sets no bit for any of its usages) is left out, with a debug line.
ReportLayout placeCaps(ReportKind kind, std::uint16_t byteLength,
                       std::span<const SystemCap> buttonCaps, std::span<const SystemCap> valueCaps,
                       ReportWriter& writer);

// The report ids the caps name, ascending and once each; {0} when the collection numbers
// no reports. Writes are checked against them, so none would refuse every write.
std::vector<std::uint8_t> reportIdsOf(std::span<const SystemCap> caps);

} // namespace hid::windows
