#include "device/hid/report_descriptor.h"
#include "device/hid/report_values.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A report descriptor comes from the device (sysfs or a socket peer). The input's first
// half is the descriptor, the second half a report unpacked with what was parsed.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::size_t half = size / 2;
    const std::span<const std::uint8_t> descriptor(data, half);
    const std::span<const std::uint8_t> report(data + half, size - half);
    for (const auto& collection : hid::parseReportDescriptor(descriptor)) {
        const auto& input = collection.input;
        for (const auto& cap : input.buttonCaps) {
            std::vector<std::uint16_t> usages;
            (void)hid::getUsages(cap, report, input.byteLength, 64, usages);
        }
        for (const auto& cap : input.valueCaps) {
            std::uint32_t raw = 0;
            std::int32_t scaled = 0;
            (void)hid::getUsageValue(cap, cap.usageMin, report, input.byteLength, raw);
            (void)hid::getScaledUsageValue(cap, cap.usageMin, report, input.byteLength, scaled);
        }
        (void)hid::maxUsageListLength(collection, hid::ReportKind::Input, 0x07);
    }
    return 0;
}
