#include "device/hid/report_descriptor.h"

#include "device/hid/report_values.h"
#include "platform/debug_output.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace hid {

bool CollectionInfo::ownsReportId(std::uint8_t id) const
{
    return std::binary_search(reportIds.begin(), reportIds.end(), id);
}

const ReportLayout& CollectionInfo::layout(ReportKind kind) const
{
    switch (kind) {
    case ReportKind::Input:
        return input;
    case ReportKind::Output:
        return output;
    case ReportKind::Feature:
        break;
    }
    return feature;
}

namespace {

enum ItemType : std::uint8_t { Main = 0, Global = 1, Local = 2 };

enum MainTag : std::uint8_t {
    TagInput = 0x8,
    TagOutput = 0x9,
    TagCollection = 0xA,
    TagFeature = 0xB,
    TagEndCollection = 0xC
};

enum GlobalTag : std::uint8_t {
    TagUsagePage = 0x0,
    TagLogicalMin = 0x1,
    TagLogicalMax = 0x2,
    TagPhysicalMin = 0x3,
    TagPhysicalMax = 0x4,
    TagReportSize = 0x7,
    TagReportId = 0x8,
    TagReportCount = 0x9,
    TagPush = 0xA,
    TagPop = 0xB
};

enum LocalTag : std::uint8_t { TagUsage = 0x0, TagUsageMin = 0x1, TagUsageMax = 0x2 };

constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::uint32_t kMainConstant = 0x01;
constexpr std::uint32_t kMainVariable = 0x02;

struct ItemValue {
    std::uint32_t raw = 0;
    std::uint8_t size = 0; // 0, 1, 2 or 4 bytes

    std::int32_t asSigned() const
    {
        switch (size) {
        case 1:
            return static_cast<std::int8_t>(raw);
        case 2:
            return static_cast<std::int16_t>(raw);
        default:
            return static_cast<std::int32_t>(raw);
        }
    }
};

struct Globals {
    std::uint16_t usagePage = 0;
    std::int32_t logicalMin = 0;
    ItemValue logicalMax;
    std::int32_t physicalMin = 0;
    ItemValue physicalMax;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

// A maximum is written as the shortest field that holds it, so 0xFF in one byte means 255
// whenever the minimum is not negative; reading it signed would give -1.
std::int32_t maximumFor(std::int32_t minimum, const ItemValue& maximum)
{
    const std::int32_t asSigned = maximum.asSigned();
    if (minimum >= 0 && asSigned < 0)
        return static_cast<std::int32_t>(maximum.raw & 0x7FFFFFFFu);
    return asSigned;
}

struct UsageEntry {
    std::optional<std::uint16_t> page; // only a four-byte usage names its own
    std::uint16_t min = 0;
    std::uint16_t max = 0;
    bool isRange = false;

    std::uint32_t count() const { return std::uint32_t(max) - min + 1; }
};

struct Locals {
    std::vector<UsageEntry> usages;
    std::optional<std::pair<std::optional<std::uint16_t>, std::uint16_t>> rangeMin; // page, usage
    std::optional<std::pair<std::optional<std::uint16_t>, std::uint16_t>> rangeMax;

    void clear()
    {
        usages.clear();
        rangeMin.reset();
        rangeMax.reset();
    }
};

// A top-level collection while its items are read.
struct OpenCollection {
    CollectionInfo info;
    std::string rejection; // empty while the collection is sound
    std::array<std::array<bool, 256>, 3> hasReport{};
    std::array<std::uint64_t, 3> dataEntries{};
};

class Parser {
public:
    explicit Parser(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    ParsedDescriptor run()
    {
        while (m_pos < m_bytes.size()) {
            if (!step())
                return {std::move(m_result), m_collectionCount};
        }
        if (m_open)
            skip("its collection is never closed");
        return {std::move(m_result), m_collectionCount};
    }

private:
    // False when parsing cannot go on.
    bool step()
    {
        const std::size_t start = m_pos;
        const std::uint8_t prefix = m_bytes[m_pos];
        if (prefix == kLongItemPrefix) {
            // Long items carry nothing we use; step over them.
            if (m_bytes.size() - m_pos < 3 || m_bytes.size() - m_pos - 3 < m_bytes[m_pos + 1])
                return truncated(start);
            m_pos += 3 + std::size_t(m_bytes[m_pos + 1]);
            return true;
        }
        static constexpr std::array<std::uint8_t, 4> kSizes{0, 1, 2, 4};
        ItemValue value;
        value.size = kSizes[prefix & 0x3];
        if (m_bytes.size() - m_pos - 1 < value.size)
            return truncated(start);
        for (std::uint8_t i = 0; i < value.size; ++i)
            value.raw |= std::uint32_t(m_bytes[m_pos + 1 + i]) << (8 * i);
        m_pos += 1 + value.size;

        const std::uint8_t tag = prefix >> 4;
        switch ((prefix >> 2) & 0x3) {
        case Main:
            return mainItem(tag, value);
        case Global:
            return globalItem(tag, value);
        case Local:
            return localItem(tag, value);
        default:
            return true; // reserved item type: ignored, as the HID parser does
        }
    }

    bool mainItem(std::uint8_t tag, const ItemValue& value)
    {
        bool goOn = true;
        switch (tag) {
        case TagCollection:
            goOn = beginCollection();
            break;
        case TagEndCollection:
            goOn = endCollection();
            break;
        case TagInput:
            goOn = dataItem(ReportKind::Input, value.raw);
            break;
        case TagOutput:
            goOn = dataItem(ReportKind::Output, value.raw);
            break;
        case TagFeature:
            goOn = dataItem(ReportKind::Feature, value.raw);
            break;
        default:
            break;
        }
        m_locals.clear();
        return goOn;
    }

    bool globalItem(std::uint8_t tag, const ItemValue& value)
    {
        switch (tag) {
        case TagUsagePage:
            m_globals.usagePage = static_cast<std::uint16_t>(value.raw);
            break;
        case TagLogicalMin:
            m_globals.logicalMin = value.asSigned();
            break;
        case TagLogicalMax:
            m_globals.logicalMax = value;
            break;
        case TagPhysicalMin:
            m_globals.physicalMin = value.asSigned();
            break;
        case TagPhysicalMax:
            m_globals.physicalMax = value;
            break;
        case TagReportSize:
            m_globals.reportSize = value.raw;
            break;
        case TagReportCount:
            m_globals.reportCount = value.raw;
            break;
        case TagReportId:
            if (value.raw == 0 || value.raw > 0xFF)
                return fail("report id " + std::to_string(value.raw) + " is out of range");
            m_globals.reportId = static_cast<std::uint8_t>(value.raw);
            break;
        case TagPush:
            if (m_globalStack.size() >= kMaxGlobalStackDepth)
                return fail("global items pushed deeper than " +
                            std::to_string(kMaxGlobalStackDepth));
            m_globalStack.push_back(m_globals);
            break;
        case TagPop:
            if (m_globalStack.empty())
                return fail("pop without push");
            m_globals = m_globalStack.back();
            m_globalStack.pop_back();
            break;
        default:
            break;
        }
        return true;
    }

    bool localItem(std::uint8_t tag, const ItemValue& value)
    {
        // A four-byte usage carries its own page in the high half. Any other takes the page in
        // force when the main item comes, not the one in force now (a descriptor may give its
        // usages before their page).
        std::optional<std::uint16_t> page;
        if (value.size == 4)
            page = static_cast<std::uint16_t>(value.raw >> 16);
        const auto usage = static_cast<std::uint16_t>(value.raw);
        switch (tag) {
        case TagUsage:
            return addUsage({page, usage, usage, false});
        case TagUsageMin:
            m_locals.rangeMin = {page, usage};
            break;
        case TagUsageMax:
            m_locals.rangeMax = {page, usage};
            break;
        default:
            return true;
        }
        if (m_locals.rangeMin && m_locals.rangeMax) {
            const auto [minPage, min] = *m_locals.rangeMin;
            const auto max = m_locals.rangeMax->second;
            m_locals.rangeMin.reset();
            m_locals.rangeMax.reset();
            if (min > max)
                return fail("usage minimum above usage maximum");
            return addUsage({minPage, min, max, true});
        }
        return true;
    }

    bool addUsage(const UsageEntry& entry)
    {
        if (m_locals.usages.size() >= kMaxUsagesPerItem)
            return fail("more than " + std::to_string(kMaxUsagesPerItem) + " usages on one item");
        m_locals.usages.push_back(entry);
        return true;
    }

    bool beginCollection()
    {
        ++m_depth;
        if (m_depth == 1) {
            m_open.emplace();
            m_open->info.number = ++m_collectionCount;
            if (!m_locals.usages.empty()) {
                m_open->info.usagePage = pageOf(m_locals.usages.front());
                m_open->info.usage = m_locals.usages.front().min;
            } else {
                m_open->info.usagePage = m_globals.usagePage;
            }
        } else if (m_depth > kMaxCollectionDepth) {
            return fail("collections nested deeper than " + std::to_string(kMaxCollectionDepth));
        }
        return true;
    }

    bool endCollection()
    {
        if (m_depth == 0)
            return fail("end of a collection that was never opened");
        if (--m_depth == 0)
            finishCollection();
        return true;
    }

    bool dataItem(ReportKind kind, std::uint32_t flags)
    {
        if (!m_open)
            return fail("report item outside any collection");
        const std::uint32_t size = m_globals.reportSize;
        const std::uint32_t count = m_globals.reportCount;
        if (size > kMaxReportSizeBits || count > kMaxReportCount)
            return fail("report size " + std::to_string(size) + " x " + std::to_string(count) +
                        " is absurd");
        const std::uint8_t id = m_globals.reportId;
        if (m_owner[id] != 0 && m_owner[id] != m_open->info.number)
            return fail("report id " + std::to_string(id) + " already belongs to collection " +
                        std::to_string(m_owner[id]));
        m_owner[id] = m_open->info.number;
        auto& ids = m_open->info.reportIds;
        if (!std::binary_search(ids.begin(), ids.end(), id))
            ids.insert(std::upper_bound(ids.begin(), ids.end(), id), id);

        const auto kindIndex = static_cast<std::size_t>(kind);
        auto& bits = m_bits[kindIndex][id];
        const auto offset = static_cast<std::uint32_t>(bits);
        bits += std::uint64_t(size) * count;
        if ((bits + 7) / 8 + 1 > kMaxReportBytes)
            return fail("report " + std::to_string(id) + " is longer than " +
                        std::to_string(kMaxReportBytes) + " bytes");
        m_open->hasReport[kindIndex][id] = true;

        if (!m_open->rejection.empty())
            return true; // skipped anyway; build nothing more for it

        const bool constant = (flags & kMainConstant) != 0;
        const bool variable = (flags & kMainVariable) != 0;
        if ((constant && m_locals.usages.empty()) || size == 0 || count == 0)
            return true; // padding

        ReportCap base;
        base.kind = kind;
        base.reportId = id;
        base.fieldIndex = m_fieldCount++;
        base.bitOffset = offset;
        base.bitSize = static_cast<std::uint16_t>(size);
        base.reportCount = static_cast<std::uint16_t>(count);
        base.isArray = !variable;
        base.isButton = !variable || size == 1;
        base.logicalMin = m_globals.logicalMin;
        base.logicalMax = maximumFor(m_globals.logicalMin, m_globals.logicalMax);
        base.physicalMin = m_globals.physicalMin;
        base.physicalMax = maximumFor(m_globals.physicalMin, m_globals.physicalMax);

        std::vector<UsageEntry> usages = m_locals.usages;
        if (usages.empty())
            usages.push_back({std::nullopt, 0, 0, false});
        for (auto& usage : usages)
            usage.page = pageOf(usage);
        auto& layout = kind == ReportKind::Input    ? m_open->info.input
                       : kind == ReportKind::Output ? m_open->info.output
                                                    : m_open->info.feature;
        auto& caps = base.isButton ? layout.buttonCaps : layout.valueCaps;
        const std::size_t before = caps.size();
        if (base.isArray)
            addArrayCaps(base, usages, caps);
        else
            addVariableCaps(base, usages, caps);
        // What an open builds from the caps: one data entry per button cap, one per value
        // usage. The number of fields is bounded by the report lengths already.
        for (std::size_t i = before; i < caps.size(); ++i)
            m_open->dataEntries[kindIndex] +=
                base.isButton ? 1 : std::uint64_t(caps[i].usageMax) - caps[i].usageMin + 1;
        if (layout.buttonCaps.size() + layout.valueCaps.size() > kMaxCapsPerKind ||
            m_open->dataEntries[kindIndex] > kMaxDataEntriesPerKind)
            return fail("more capabilities than any device declares");
        return true;
    }

    std::uint16_t pageOf(const UsageEntry& entry) const
    {
        return entry.page.value_or(m_globals.usagePage);
    }

    // Every usage of an array shares all of its slots; a slot's value picks the usage.
    static void addArrayCaps(const ReportCap& base, const std::vector<UsageEntry>& usages,
                             std::vector<ReportCap>& caps)
    {
        std::uint32_t index = 0;
        for (const auto& entry : usages) {
            ReportCap cap = base;
            cap.usagePage = entry.page.value_or(0);
            cap.usageMin = entry.min;
            cap.usageMax = entry.max;
            cap.isRange = entry.isRange;
            cap.firstSlot = 0;
            cap.slotCount = base.reportCount;
            cap.arrayIndex = index;
            index += entry.count();
            caps.push_back(cap);
        }
    }

    // Variable items give slots to usages in order; the last usage takes any slots left.
    static void addVariableCaps(const ReportCap& base, const std::vector<UsageEntry>& usages,
                                std::vector<ReportCap>& caps)
    {
        std::uint32_t slot = 0;
        for (std::size_t i = 0; i < usages.size() && slot < base.reportCount; ++i) {
            const auto& entry = usages[i];
            const std::uint32_t left = base.reportCount - slot;
            const bool last = i + 1 == usages.size();
            const std::uint32_t slots = last ? left : std::min(entry.count(), left);
            ReportCap cap = base;
            cap.usagePage = entry.page.value_or(0);
            cap.usageMin = entry.min;
            cap.usageMax =
                static_cast<std::uint16_t>(entry.min + std::min(entry.count(), slots) - 1);
            cap.isRange = entry.isRange;
            cap.firstSlot = static_cast<std::uint16_t>(slot);
            cap.slotCount = static_cast<std::uint16_t>(slots);
            slot += slots;
            caps.push_back(cap);
        }
    }

    void finishCollection()
    {
        OpenCollection open = std::move(*m_open);
        m_open.reset();
        auto& info = open.info;
        if (info.reportIds.size() > 1 && info.reportIds.front() == 0)
            open.rejection = "reports with and without report id";
        if (!open.rejection.empty()) {
            reject(info.number, open.rejection);
            return;
        }
        if (info.reportIds.empty())
            info.reportIds.push_back(0);
        // Each button entry of an open gets a usage list as long as all the buttons of its
        // page: bound the product, which grows with the square of the caps.
        for (const auto kind : {ReportKind::Input, ReportKind::Output, ReportKind::Feature}) {
            std::uint64_t listEntries = 0;
            for (const auto& cap : info.layout(kind).buttonCaps)
                listEntries += maxUsageListLength(info, kind, cap.usagePage);
            if (listEntries > kMaxUsageListEntriesPerKind) {
                reject(info.number, "its button usage lists would hold " +
                                        std::to_string(listEntries) + " entries");
                return;
            }
        }
        for (std::size_t kind = 0; kind < 3; ++kind) {
            std::uint64_t longest = 0;
            bool any = false;
            for (std::size_t id = 0; id < 256; ++id) {
                if (!open.hasReport[kind][id])
                    continue;
                any = true;
                longest = std::max(longest, (m_bits[kind][id] + 7) / 8);
            }
            auto& layout = kind == 0 ? info.input : kind == 1 ? info.output : info.feature;
            layout.byteLength = any ? static_cast<std::uint16_t>(longest + 1) : 0;
        }
        m_result.push_back(std::move(info));
    }

    static void reject(std::uint32_t number, const std::string& reason)
    {
        platform::debugOutput("report descriptor: collection " + std::to_string(number) +
                              " skipped: " + reason);
    }

    // Marks the open collection bad; outside a collection the rest cannot be trusted.
    bool fail(const std::string& reason)
    {
        if (!m_open) {
            platform::debugOutput("report descriptor rejected at byte " + std::to_string(m_pos) +
                                  ": " + reason);
            return false;
        }
        if (m_open->rejection.empty())
            m_open->rejection = reason;
        return true;
    }

    bool truncated(std::size_t at)
    {
        const std::string reason = "truncated item at byte " + std::to_string(at);
        if (m_open)
            skip(reason);
        else
            platform::debugOutput("report descriptor: " + reason);
        return false;
    }

    void skip(const std::string& reason)
    {
        reject(m_open->info.number,
               m_open->rejection.empty() ? reason : m_open->rejection + "; " + reason);
        m_open.reset();
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    Globals m_globals;
    std::vector<Globals> m_globalStack;
    Locals m_locals;
    std::size_t m_depth = 0;
    std::optional<OpenCollection> m_open;
    std::uint32_t m_collectionCount = 0;
    std::uint32_t m_fieldCount = 0;
    // Report ids are shared by the whole descriptor: bits so far per kind and id, and the
    // collection each id belongs to.
    std::array<std::array<std::uint64_t, 256>, 3> m_bits{};
    std::array<std::uint32_t, 256> m_owner{};
    std::vector<CollectionInfo> m_result;
};

} // namespace

ParsedDescriptor parseDescriptor(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > kMaxDescriptorBytes) {
        platform::debugOutput("report descriptor rejected: " + std::to_string(bytes.size()) +
                              " bytes is more than " + std::to_string(kMaxDescriptorBytes));
        return {};
    }
    return Parser(bytes).run();
}

std::vector<CollectionInfo> parseReportDescriptor(std::span<const std::uint8_t> bytes)
{
    return parseDescriptor(bytes).collections;
}

} // namespace hid
