#include "device/hid/windows/system_caps.h"

#include "platform/debug_output.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

namespace hid::windows {
namespace {

// Array usages tried to find a slot's bits; more adds no bit a value can hold.
constexpr std::uint32_t kMostUsagesTried = 1024;
// Slots of one array looked for; far more keys than any keyboard reports at once.
constexpr std::uint16_t kMostSlots = 1024;

class Placer {
public:
    Placer(ReportKind kind, std::uint16_t byteLength, ReportWriter& writer)
        : m_kind(kind), m_byteLength(byteLength), m_writer(writer)
    {
    }

    std::optional<ReportCap> value(const SystemCap& cap)
    {
        const std::uint16_t size = cap.bitSize;
        if (size == 0)
            return std::nullopt;
        const std::uint32_t ones = size >= 32 ? 0xFFFFFFFFu : (1u << size) - 1;
        auto report = blank(cap);
        if (!m_writer.setValue(m_kind, cap, cap.usageMin, ones, report))
            return std::nullopt;
        const auto bits = setBits(report);
        if (bits.empty())
            return std::nullopt;
        ReportCap placed = common(cap, false);
        placed.bitOffset = bits.front();
        placed.bitSize = size;
        placed.reportCount = cap.reportCount;
        placed.slotCount = static_cast<std::uint16_t>(cap.usageMax - cap.usageMin + 1);
        placed.logicalMin = cap.logicalMin;
        placed.logicalMax = cap.logicalMax;
        placed.physicalMin = cap.physicalMin;
        placed.physicalMax = cap.physicalMax;
        return placed;
    }

    std::optional<ReportCap> button(const SystemCap& cap)
    {
        return cap.isArray() ? arrayButton(cap) : variableButton(cap);
    }

private:
    // One bit per usage, in usage order.
    std::optional<ReportCap> variableButton(const SystemCap& cap)
    {
        const auto bits = written(cap, {cap.usageMin});
        if (bits.size() != 1)
            return std::nullopt;
        ReportCap placed = common(cap, false);
        placed.bitOffset = bits.front();
        placed.bitSize = 1;
        placed.slotCount = static_cast<std::uint16_t>(cap.usageMax - cap.usageMin + 1);
        placed.reportCount = placed.slotCount;
        placed.logicalMax = 1;
        placed.physicalMax = 1;
        return placed;
    }

    // Slots that each hold an index picking a usage. The bits any usage sets alone lie in
    // the first slot; the slot's true edges are where a stray bit stops spoiling a usage
    // the parser reads back. The slots end where the parser reads the usage no more.
    std::optional<ReportCap> arrayButton(const SystemCap& cap)
    {
        const auto usages = triedUsages(cap);
        std::vector<std::uint32_t> used;
        for (const std::uint16_t usage : usages)
            merge(used, written(cap, {usage}));
        if (used.empty())
            return std::nullopt;
        // The top usage: the lowest may be index 0, which fills no slot.
        const std::uint16_t anchor = usages.back();
        auto marked = blank(cap);
        if (!m_writer.setUsages(m_kind, cap, std::vector<std::uint16_t>{anchor}, marked) ||
            !readsBack(cap, marked, anchor))
            return std::nullopt;
        const auto inSlot = [&](std::uint32_t bit) {
            auto report = marked;
            report[1 + bit / 8] =
                static_cast<std::uint8_t>(report[1 + bit / 8] | (1u << (bit % 8)));
            return !readsBack(cap, report, anchor);
        };
        const std::uint32_t dataBits = (std::uint32_t(m_byteLength) - 1) * 8;
        std::uint32_t start = used.front();
        while (start > 0 && used.back() - (start - 1) < 32 && inSlot(start - 1))
            --start;
        std::uint32_t end = used.back() + 1;
        while (end < dataBits && end - start < 32 && inSlot(end))
            ++end;

        // The slots follow one another: one more is there while the parser reads the anchor
        // from it alone. Not by writing usages until it refuses: that counts usages, not
        // slots, and an array of one usage has several slots as often as one.
        const std::uint32_t width = end - start;
        const std::uint32_t anchorValue =
            readBits(marked, start, static_cast<std::uint16_t>(width));
        std::uint16_t slots = 1;
        while (slots < kMostSlots && start + (std::uint32_t(slots) + 1) * width <= dataBits) {
            auto report = blank(cap);
            writeBits(report, start + slots * width, width, anchorValue);
            if (!readsBack(cap, report, anchor))
                break;
            ++slots;
        }

        ReportCap placed = common(cap, true);
        placed.bitOffset = start;
        placed.bitSize = static_cast<std::uint16_t>(end - start);
        placed.reportCount = slots;
        placed.slotCount = slots;
        // The lowest usage's index, as the value the parser writes for it; a parser that
        // will not write it leaves the slot's numbering unknown, so the cap is not placed.
        auto lowest = blank(cap);
        if (!m_writer.setUsages(m_kind, cap, std::vector<std::uint16_t>{cap.usageMin}, lowest))
            return std::nullopt;
        placed.arrayIndex = readBits(lowest, start, placed.bitSize);
        placed.logicalMax =
            static_cast<std::int32_t>(placed.arrayIndex + cap.usageMax - cap.usageMin);
        placed.physicalMax = placed.logicalMax;
        return placed;
    }

    bool readsBack(const SystemCap& cap, std::span<const std::uint8_t> report, std::uint16_t usage)
    {
        std::vector<std::uint16_t> found;
        return m_writer.getUsages(m_kind, cap, report, found) &&
               std::find(found.begin(), found.end(), usage) != found.end();
    }

    ReportCap common(const SystemCap& cap, bool isArray) const
    {
        ReportCap placed;
        placed.kind = m_kind;
        placed.reportId = cap.reportId;
        placed.usagePage = cap.usagePage;
        placed.usageMin = cap.usageMin;
        placed.usageMax = cap.usageMax;
        placed.isRange = cap.isRange;
        placed.isArray = isArray;
        return placed;
    }

    std::vector<std::uint16_t> triedUsages(const SystemCap& cap) const
    {
        std::vector<std::uint16_t> usages;
        const std::uint32_t last = cap.usageMax;
        for (std::uint32_t usage = cap.usageMin; usage <= last; ++usage) {
            if (usages.size() + 1 == kMostUsagesTried && usage != last)
                usage = last;
            usages.push_back(static_cast<std::uint16_t>(usage));
        }
        return usages;
    }

    std::vector<std::uint8_t> blank(const SystemCap& cap) const
    {
        std::vector<std::uint8_t> report(m_byteLength, 0);
        if (!report.empty())
            report[0] = cap.reportId;
        return report;
    }

    std::vector<std::uint32_t> written(const SystemCap& cap,
                                       const std::vector<std::uint16_t>& usages)
    {
        auto report = blank(cap);
        if (!m_writer.setUsages(m_kind, cap, usages, report))
            return {};
        return setBits(report);
    }

    // The bits set past the report id byte, ascending.
    static std::vector<std::uint32_t> setBits(std::span<const std::uint8_t> report)
    {
        std::vector<std::uint32_t> bits;
        for (std::size_t byte = 1; byte < report.size(); ++byte) {
            for (std::uint32_t bit = 0; bit < 8; ++bit) {
                if ((report[byte] >> bit) & 1u)
                    bits.push_back(std::uint32_t(byte - 1) * 8 + bit);
            }
        }
        return bits;
    }

    static std::uint32_t readBits(std::span<const std::uint8_t> report, std::uint32_t offset,
                                  std::uint16_t size)
    {
        std::uint32_t value = 0;
        for (std::uint16_t i = 0; i < std::min<std::uint16_t>(size, 32); ++i) {
            const std::uint64_t bit = std::uint64_t(offset) + i;
            if (1 + bit / 8 < report.size() && ((report[1 + bit / 8] >> (bit % 8)) & 1u))
                value |= 1u << i;
        }
        return value;
    }

    static void writeBits(std::span<std::uint8_t> report, std::uint32_t offset, std::uint32_t size,
                          std::uint32_t value)
    {
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(size, 32); ++i) {
            const std::uint64_t bit = std::uint64_t(offset) + i;
            if (((value >> i) & 1u) && 1 + bit / 8 < report.size())
                report[1 + bit / 8] =
                    static_cast<std::uint8_t>(report[1 + bit / 8] | (1u << (bit % 8)));
        }
    }

    static void merge(std::vector<std::uint32_t>& into, const std::vector<std::uint32_t>& bits)
    {
        std::vector<std::uint32_t> both;
        std::set_union(into.begin(), into.end(), bits.begin(), bits.end(),
                       std::back_inserter(both));
        into = std::move(both);
    }

    static bool isIn(const std::vector<std::uint32_t>& bits, std::uint32_t bit)
    {
        return std::binary_search(bits.begin(), bits.end(), bit);
    }

    ReportKind m_kind;
    std::uint16_t m_byteLength;
    ReportWriter& m_writer;
};

const char* kindName(ReportKind kind)
{
    return kind == ReportKind::Input ? "input" : kind == ReportKind::Output ? "output" : "feature";
}

} // namespace

ReportLayout placeCaps(ReportKind kind, std::uint16_t byteLength,
                       std::span<const SystemCap> buttonCaps, std::span<const SystemCap> valueCaps,
                       ReportWriter& writer)
{
    ReportLayout layout;
    layout.byteLength = byteLength;
    if (byteLength < 2)
        return layout;
    Placer placer(kind, byteLength, writer);
    const auto unplaced = [&](const SystemCap& cap) {
        platform::debugOutput(std::string("hid: ") + kindName(kind) + " cap of page " +
                              std::to_string(cap.usagePage) + " usage " +
                              std::to_string(cap.usageMin) + " could not be placed");
    };
    for (const auto& cap : buttonCaps) {
        if (auto placed = placer.button(cap))
            layout.buttonCaps.push_back(*placed);
        else
            unplaced(cap);
    }
    for (const auto& cap : valueCaps) {
        if (auto placed = placer.value(cap))
            layout.valueCaps.push_back(*placed);
        else
            unplaced(cap);
    }
    // Caps that share their slots (an array's usage ranges) are one field.
    std::map<std::pair<std::uint8_t, std::uint32_t>, std::uint32_t> fields;
    for (auto* caps : {&layout.buttonCaps, &layout.valueCaps}) {
        for (auto& cap : *caps) {
            const auto key = std::make_pair(cap.reportId, cap.bitOffset);
            cap.fieldIndex = fields.emplace(key, std::uint32_t(fields.size())).first->second;
        }
    }
    return layout;
}

std::vector<std::uint8_t> reportIdsOf(std::span<const SystemCap> caps)
{
    std::vector<std::uint8_t> ids;
    for (const auto& cap : caps)
        ids.push_back(cap.reportId);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    if (ids.empty())
        ids.push_back(0);
    return ids;
}

} // namespace hid::windows
