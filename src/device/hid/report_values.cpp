#include "device/hid/report_values.h"

#include "device/hid/hid_types.h"

#include <algorithm>
#include <set>

namespace hid {
namespace {

// Up to 32 bits of the report's data (after the id byte), little-endian bit order; bits
// past the end read as 0.
std::uint32_t readBits(std::span<const std::uint8_t> data, std::uint32_t offset, std::uint16_t size)
{
    std::uint32_t value = 0;
    const std::uint16_t wanted = std::min<std::uint16_t>(size, 32);
    for (std::uint16_t i = 0; i < wanted; ++i) {
        const std::uint64_t bit = std::uint64_t(offset) + i;
        if (bit / 8 >= data.size())
            break;
        if ((data[bit / 8] >> (bit % 8)) & 1u)
            value |= 1u << i;
    }
    return value;
}

std::int32_t signExtend(std::uint32_t value, std::uint16_t size)
{
    if (size == 0 || size >= 32)
        return static_cast<std::int32_t>(value);
    const std::uint32_t sign = 1u << (size - 1);
    return static_cast<std::int32_t>((value ^ sign) - sign);
}

std::int32_t readSlot(const ReportCap& cap, std::span<const std::uint8_t> data, std::uint32_t slot)
{
    const std::uint32_t raw =
        readBits(data, cap.bitOffset + slot * std::uint32_t(cap.bitSize), cap.bitSize);
    return cap.logicalMin < 0 ? signExtend(raw, cap.bitSize) : static_cast<std::int32_t>(raw);
}

// The report's data past its id byte, or a failing status.
std::int32_t checkReport(const ReportCap& cap, std::span<const std::uint8_t> report,
                         std::uint16_t reportLength)
{
    if (reportLength == 0 || report.size() < reportLength)
        return kStatusInvalidReportLength;
    if (report[0] != cap.reportId)
        return kStatusIncompatibleReportId;
    return kStatusSuccess;
}

} // namespace

std::int32_t getUsages(const ReportCap& cap, std::span<const std::uint8_t> report,
                       std::uint16_t reportLength, std::size_t capacity,
                       std::vector<std::uint16_t>& usages)
{
    usages.clear();
    if (const auto status = checkReport(cap, report, reportLength); status != kStatusSuccess)
        return status;
    const auto data = report.subspan(1, reportLength - 1);
    const std::uint32_t span = std::uint32_t(cap.usageMax) - cap.usageMin;
    for (std::uint32_t slot = cap.firstSlot;
         slot < std::uint32_t(cap.firstSlot) + cap.slotCount && usages.size() < capacity; ++slot) {
        std::uint32_t usage = 0;
        if (cap.isArray) {
            const std::int64_t index = std::int64_t(readSlot(cap, data, slot)) - cap.logicalMin;
            if (index < cap.arrayIndex || index > std::int64_t(cap.arrayIndex) + span)
                continue;
            usage = cap.usageMin + std::uint32_t(index - cap.arrayIndex);
        } else {
            if (readSlot(cap, data, slot) == 0)
                continue;
            usage = cap.usageMin + std::min(slot - cap.firstSlot, span);
        }
        // Usage 0 is "no event": an empty array slot reads as it.
        if (usage != 0)
            usages.push_back(static_cast<std::uint16_t>(usage));
    }
    return kStatusSuccess;
}

std::int32_t getUsageValue(const ReportCap& cap, std::uint16_t usage,
                           std::span<const std::uint8_t> report, std::uint16_t reportLength,
                           std::uint32_t& value)
{
    value = 0;
    if (usage < cap.usageMin || usage > cap.usageMax)
        return kStatusUsageNotFound;
    if (const auto status = checkReport(cap, report, reportLength); status != kStatusSuccess)
        return status;
    // The raw field, as the system gives it; only the scaled value is signed.
    const auto data = report.subspan(1, reportLength - 1);
    const std::uint32_t slot = cap.firstSlot + std::uint32_t(usage - cap.usageMin);
    value = readBits(data, cap.bitOffset + slot * std::uint32_t(cap.bitSize), cap.bitSize);
    return kStatusSuccess;
}

std::int32_t getScaledUsageValue(const ReportCap& cap, std::uint16_t usage,
                                 std::span<const std::uint8_t> report, std::uint16_t reportLength,
                                 std::int32_t& value)
{
    value = 0;
    if (cap.logicalMax <= cap.logicalMin || cap.physicalMax <= cap.physicalMin)
        return kStatusBadLogicalPhysical;
    std::uint32_t raw = 0;
    if (const auto status = getUsageValue(cap, usage, report, reportLength, raw);
        status != kStatusSuccess)
        return status;
    const std::int64_t logical =
        cap.logicalMin < 0 ? signExtend(raw, cap.bitSize) : static_cast<std::int64_t>(raw);
    if (logical < cap.logicalMin || logical > cap.logicalMax)
        return kStatusValueOutOfRange;
    const std::int64_t physicalSpan = std::int64_t(cap.physicalMax) - cap.physicalMin;
    const std::int64_t logicalSpan = std::int64_t(cap.logicalMax) - cap.logicalMin;
    value = static_cast<std::int32_t>((logical - cap.logicalMin) * physicalSpan / logicalSpan +
                                      cap.physicalMin);
    return kStatusSuccess;
}

std::uint32_t maxUsageListLength(const CollectionInfo& collection, ReportKind kind,
                                 std::uint16_t usagePage)
{
    // Caps of one array share its slots: count each item once.
    std::set<std::uint32_t> counted;
    std::uint32_t length = 0;
    for (const auto& cap : collection.layout(kind).buttonCaps) {
        if (usagePage != 0 && cap.usagePage != usagePage)
            continue;
        if (cap.isArray) {
            if (counted.insert(cap.fieldIndex).second)
                length += cap.reportCount;
        } else {
            length += cap.slotCount;
        }
    }
    return length;
}

} // namespace hid
