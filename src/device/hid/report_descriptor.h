#pragma once

// The HID report-descriptor parser. hidraw and the simulated interfaces hand us raw
// descriptors; this turns one into the per-collection capabilities that the system's HID
// parser would report: top-level collections numbered 1, 2, ... in descriptor order, their
// usage page and usage, report byte lengths (report id byte included) and the button and
// value capabilities with the bit positions needed to unpack a report.

#include <cstdint>
#include <span>
#include <vector>

namespace hid {

enum class ReportKind : std::uint8_t { Input, Output, Feature };

// Bounds past which a descriptor is taken as hostile rather than merely unusual.
inline constexpr std::size_t kMaxDescriptorBytes = 4096;
inline constexpr std::size_t kMaxCollectionDepth = 16;
inline constexpr std::size_t kMaxGlobalStackDepth = 16;
inline constexpr std::uint32_t kMaxReportSizeBits = 256;
inline constexpr std::uint32_t kMaxReportCount = 4096;
inline constexpr std::uint32_t kMaxReportBytes = 4096; // report id byte included
inline constexpr std::size_t kMaxUsagesPerItem = 1024;
// Per collection and report kind; they bound what an open builds from the caps (its data
// entries and their usage lists), not how many fields the reports carry: that is bounded by
// the report lengths.
inline constexpr std::size_t kMaxCapsPerKind = 512;
inline constexpr std::uint64_t kMaxDataEntriesPerKind = 65536;
inline constexpr std::uint64_t kMaxUsageListEntriesPerKind = 1u << 20;

// One button or value capability: one usage (or usage range) of one main item.
struct ReportCap {
    ReportKind kind = ReportKind::Input;
    std::uint8_t reportId = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usageMin = 0;
    std::uint16_t usageMax = 0;
    bool isRange = false;
    bool isButton = false;
    bool isArray = false;
    std::uint32_t fieldIndex = 0; // the main item; caps of one item share it
    std::uint32_t bitOffset = 0;  // of the item's first slot, counted after the report id byte
    std::uint16_t bitSize = 0;
    std::uint16_t reportCount = 0; // slots of the whole item
    // Variable items: the slots this cap covers. Arrays: every slot, and arrayIndex is the
    // index (value - logical minimum) that selects usageMin.
    std::uint16_t firstSlot = 0;
    std::uint16_t slotCount = 0;
    std::uint32_t arrayIndex = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::int32_t physicalMin = 0;
    std::int32_t physicalMax = 0;
};

struct ReportLayout {
    std::uint16_t byteLength = 0; // longest report of the kind + 1; 0 when there is none
    std::vector<ReportCap> buttonCaps;
    std::vector<ReportCap> valueCaps;
};

struct CollectionInfo {
    std::uint32_t number = 0; // 1, 2, ... in descriptor order
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    // The report ids of the collection's reports, ascending; {0} when the device numbers
    // no reports (then no report id byte travels on the wire).
    std::vector<std::uint8_t> reportIds;
    ReportLayout input;
    ReportLayout output;
    ReportLayout feature;

    bool ownsReportId(std::uint8_t id) const;
    bool usesReportIds() const { return !(reportIds.size() == 1 && reportIds[0] == 0); }
    const ReportLayout& layout(ReportKind kind) const;
};

struct ParsedDescriptor {
    std::vector<CollectionInfo> collections;
    // Top-level collections in the descriptor, skipped ones included: paths name a
    // collection ("&colNN") whenever there is more than one, kept or not.
    std::uint32_t collectionCount = 0;
};

// Every well-formed top-level collection of the descriptor. A collection that is
// truncated, nested too deeply or declares absurd sizes is skipped with a debug line;
// numbering still counts it, so the others keep their numbers.
[[nodiscard]] ParsedDescriptor parseDescriptor(std::span<const std::uint8_t> bytes);
[[nodiscard]] std::vector<CollectionInfo>
parseReportDescriptor(std::span<const std::uint8_t> bytes);

} // namespace hid
