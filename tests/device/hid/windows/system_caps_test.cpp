#include "device/hid/windows/system_caps.h"

#include "device/hid/hid_types.h"
#include "device/hid/report_values.h"
#include "device/hid/sample_descriptors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

using hid::ReportCap;
using hid::ReportKind;
using hid::ReportLayout;
using hid::windows::SystemCap;

// Stands in for the system's parser: it knows where every cap lies (from our own parser)
// and writes and reads usages the way HidP_SetUsages, HidP_SetUsageValue and
// HidP_GetUsages do, while telling the caps only what hid.dll tells.
class KnownParser final : public hid::windows::ReportWriter {
public:
    explicit KnownParser(const ReportLayout& layout) : m_layout(layout) {}

    std::vector<SystemCap> buttons() const { return systemCaps(m_layout.buttonCaps); }
    std::vector<SystemCap> values() const { return systemCaps(m_layout.valueCaps); }

    bool getUsages(ReportKind, const SystemCap& cap, std::span<const std::uint8_t> report,
                   std::vector<std::uint16_t>& usages) override
    {
        usages.clear();
        for (const auto& known : m_layout.buttonCaps) {
            if (known.usagePage != cap.usagePage || known.reportId != report[0])
                continue;
            std::vector<std::uint16_t> found;
            if (hid::getUsages(known, report, m_layout.byteLength, 4096, found) !=
                hid::kStatusSuccess)
                return false;
            usages.insert(usages.end(), found.begin(), found.end());
        }
        return true;
    }

    bool setUsages(ReportKind, const SystemCap& cap, std::span<const std::uint16_t> usages,
                   std::span<std::uint8_t> report) override
    {
        const ReportCap& known = find(m_layout.buttonCaps, cap);
        for (const std::uint16_t usage : usages) {
            if (usage < known.usageMin || usage > known.usageMax)
                return false;
            if (!known.isArray) {
                write(report, known.bitOffset + known.firstSlot + (usage - known.usageMin), 1, 1);
                continue;
            }
            const std::uint32_t value =
                known.logicalMin + known.arrayIndex + usage - known.usageMin;
            std::uint32_t slot = 0;
            while (slot < known.reportCount && read(report, slotBit(known, slot), known.bitSize))
                ++slot;
            if (slot == known.reportCount)
                return false;
            write(report, slotBit(known, slot), known.bitSize, value);
        }
        return true;
    }

    bool setValue(ReportKind, const SystemCap& cap, std::uint16_t usage, std::uint32_t value,
                  std::span<std::uint8_t> report) override
    {
        const ReportCap& known = find(m_layout.valueCaps, cap);
        if (usage < known.usageMin || usage > known.usageMax)
            return false;
        write(report, slotBit(known, known.firstSlot + usage - known.usageMin), known.bitSize,
              value);
        return true;
    }

private:
    static std::vector<SystemCap> systemCaps(const std::vector<ReportCap>& caps)
    {
        std::vector<SystemCap> told;
        for (const auto& known : caps) {
            SystemCap cap;
            cap.reportId = known.reportId;
            cap.usagePage = known.usagePage;
            cap.bitField = known.isArray ? 0x00 : 0x02;
            cap.isRange = known.isRange;
            cap.usageMin = known.usageMin;
            cap.usageMax = known.usageMax;
            cap.bitSize = known.bitSize;
            cap.reportCount = known.slotCount;
            cap.logicalMin = known.logicalMin;
            cap.logicalMax = known.logicalMax;
            cap.physicalMin = known.physicalMin;
            cap.physicalMax = known.physicalMax;
            told.push_back(cap);
        }
        return told;
    }

    static const ReportCap& find(const std::vector<ReportCap>& caps, const SystemCap& cap)
    {
        return *std::find_if(caps.begin(), caps.end(), [&](const ReportCap& known) {
            return known.reportId == cap.reportId && known.usagePage == cap.usagePage &&
                   known.usageMin == cap.usageMin && known.usageMax == cap.usageMax;
        });
    }

    static std::uint32_t slotBit(const ReportCap& cap, std::uint32_t slot)
    {
        return cap.bitOffset + slot * cap.bitSize;
    }
    static std::uint32_t read(std::span<const std::uint8_t> report, std::uint32_t offset,
                              std::uint16_t size)
    {
        std::uint32_t value = 0;
        for (std::uint16_t i = 0; i < std::min<std::uint16_t>(size, 32); ++i) {
            const std::uint32_t bit = offset + i;
            if ((report[1 + bit / 8] >> (bit % 8)) & 1u)
                value |= 1u << i;
        }
        return value;
    }
    static void write(std::span<std::uint8_t> report, std::uint32_t offset, std::uint16_t size,
                      std::uint32_t value)
    {
        for (std::uint16_t i = 0; i < std::min<std::uint16_t>(size, 32); ++i) {
            const std::uint32_t bit = offset + i;
            auto& byte = report[1 + bit / 8];
            byte = static_cast<std::uint8_t>((value >> i) & 1u ? byte | (1u << (bit % 8))
                                                               : byte & ~(1u << (bit % 8)));
        }
    }

    const ReportLayout& m_layout;
};

struct Placed {
    ReportLayout known;
    ReportLayout found;
};

std::vector<Placed> placeEvery(const hid_samples::Bytes& descriptor)
{
    std::vector<Placed> all;
    for (const auto& collection : hid::parseReportDescriptor(descriptor)) {
        for (const auto kind : {ReportKind::Input, ReportKind::Output, ReportKind::Feature}) {
            const ReportLayout& known = collection.layout(kind);
            KnownParser parser(known);
            all.push_back({known, hid::windows::placeCaps(kind, known.byteLength, parser.buttons(),
                                                          parser.values(), parser)});
        }
    }
    return all;
}

// Decoding a report with the found caps must give what the known ones give, for every
// report: random bytes reach slots with values out of range and stray bits beside them.
void expectSameReadings(const Placed& placed, std::mt19937& random)
{
    const auto& known = placed.known;
    ASSERT_EQ(placed.found.buttonCaps.size(), known.buttonCaps.size());
    ASSERT_EQ(placed.found.valueCaps.size(), known.valueCaps.size());
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> report(known.byteLength);
        for (auto& byte : report)
            byte = static_cast<std::uint8_t>(random() % 4 == 0 ? 0 : random());
        for (std::size_t i = 0; i < known.buttonCaps.size(); ++i) {
            const auto& cap = known.buttonCaps[i];
            report[0] = cap.reportId;
            std::vector<std::uint16_t> expected;
            std::vector<std::uint16_t> got;
            ASSERT_EQ(hid::getUsages(cap, report, known.byteLength, 4096, expected),
                      hid::kStatusSuccess);
            ASSERT_EQ(
                hid::getUsages(placed.found.buttonCaps[i], report, known.byteLength, 4096, got),
                hid::kStatusSuccess);
            EXPECT_EQ(got, expected) << "button cap " << i << " page " << cap.usagePage;
        }
        for (std::size_t i = 0; i < known.valueCaps.size(); ++i) {
            const auto& cap = known.valueCaps[i];
            report[0] = cap.reportId;
            for (std::uint32_t usage = cap.usageMin; usage <= cap.usageMax; ++usage) {
                std::uint32_t expected = 0;
                std::uint32_t got = 0;
                (void)hid::getUsageValue(cap, std::uint16_t(usage), report, known.byteLength,
                                         expected);
                (void)hid::getUsageValue(placed.found.valueCaps[i], std::uint16_t(usage), report,
                                         known.byteLength, got);
                EXPECT_EQ(got, expected) << "value cap " << i << " usage " << usage;
            }
        }
    }
}

TEST(SystemCaps, PlacedCapsReadEveryReportAsTheDescriptorsOwnLayout)
{
    std::mt19937 random(24);
    for (const auto* descriptor :
         {&hid_samples::kBootKeyboard, &hid_samples::kComposite, &hid_samples::kMouse}) {
        for (const auto& placed : placeEvery(*descriptor)) {
            SCOPED_TRACE("report of " + std::to_string(placed.known.byteLength) + " bytes");
            expectSameReadings(placed, random);
        }
    }
}

TEST(SystemCaps, ArraySlotsAreFoundWholeEvenWhereValuesLeaveHighBitsClear)
{
    // The boot keyboard's six key slots hold 0..0x65, seven bits of eight; the consumer
    // array holds twelve bits of sixteen. Reading fewer bits would take a stray high bit
    // for a key.
    const auto keyboard = placeEvery(hid_samples::kBootKeyboard);
    const auto& keys = keyboard[0].found.buttonCaps;
    const auto array = std::find_if(keys.begin(), keys.end(), [](auto& c) { return c.isArray; });
    ASSERT_NE(array, keys.end());
    EXPECT_EQ(array->bitOffset, 16u);
    EXPECT_EQ(array->bitSize, 8u);
    EXPECT_EQ(array->reportCount, 6u);
    hid::CollectionInfo collection;
    collection.input = keyboard[0].found;
    EXPECT_EQ(hid::maxUsageListLength(collection, ReportKind::Input, 0x07), 8u + 6u);

    const auto composite = placeEvery(hid_samples::kComposite);
    const auto consumer = std::find_if(composite.begin(), composite.end(), [](const Placed& p) {
        return !p.found.buttonCaps.empty() && p.found.buttonCaps[0].usagePage == 0x0C;
    });
    ASSERT_NE(consumer, composite.end());
    EXPECT_EQ(consumer->found.buttonCaps[0].bitSize, 16u);
    EXPECT_EQ(consumer->found.buttonCaps[0].reportCount, 1u);
}

TEST(SystemCaps, ArraysOfSingleUsagesAreFoundFromTheirLowestBitWithEverySlot)
{
    // A single usage writes one value only: when it is even, the slot's lowest bit is never
    // set by it, and only a stray bit there shows where the slot starts. Nor can its slots
    // be counted by writing usages until the parser refuses.
    const hid_samples::Bytes listed{
        0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01,
        // three one-bit controls, five bits of padding
        0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x09, 0xE2, 0x09, 0xE9, 0x09, 0xEA, 0x81,
        0x02, 0x75, 0x05, 0x95, 0x01, 0x81, 0x03,
        // one usage, value 2, in a four-bit slot
        0x15, 0x02, 0x25, 0x02, 0x75, 0x04, 0x95, 0x01, 0x09, 0xCD, 0x81, 0x00,
        // three listed usages, values 1..3: the middle one's value is even
        0x15, 0x01, 0x25, 0x03, 0x75, 0x04, 0x95, 0x01, 0x09, 0xB5, 0x09, 0xB6, 0x09, 0xB7, 0x81,
        0x00,
        // one usage, value 4, in two six-bit slots
        0x15, 0x04, 0x25, 0x04, 0x75, 0x06, 0x95, 0x02, 0x09, 0xB0, 0x81, 0x00,
        // four bits of padding
        0x75, 0x04, 0x95, 0x01, 0x81, 0x03, 0xC0};
    std::mt19937 random(7);
    const auto placed = placeEvery(listed);
    ASSERT_FALSE(placed.empty());
    const auto& input = placed[0];
    ASSERT_EQ(input.known.buttonCaps.size(), 8u);
    for (std::size_t i = 0; i < input.known.buttonCaps.size(); ++i) {
        const auto& known = input.known.buttonCaps[i];
        ASSERT_LT(i, input.found.buttonCaps.size());
        const auto& found = input.found.buttonCaps[i];
        SCOPED_TRACE("usage " + std::to_string(known.usageMin));
        EXPECT_EQ(found.bitOffset, known.bitOffset + known.firstSlot * known.bitSize);
        EXPECT_EQ(found.bitSize, known.isArray ? known.bitSize : 1u);
        if (known.isArray) {
            EXPECT_EQ(found.reportCount, known.reportCount);
        }
    }
    expectSameReadings(input, random);
}

TEST(SystemCaps, ACollectionsReportIdsAreThoseItsCapsNameAndZeroWhenUnnumbered)
{
    // Writes are checked against these: an empty list refused every write.
    std::vector<SystemCap> caps(3);
    caps[0].reportId = 4;
    caps[1].reportId = 2;
    caps[2].reportId = 4;
    EXPECT_EQ(hid::windows::reportIdsOf(caps), (std::vector<std::uint8_t>{2, 4}));
    EXPECT_EQ(hid::windows::reportIdsOf({}), (std::vector<std::uint8_t>{0}));

    // What the portable parser gives a descriptor, the caps give too.
    for (const auto& collection : hid::parseReportDescriptor(hid_samples::kComposite)) {
        std::vector<SystemCap> named;
        for (const auto kind : {ReportKind::Input, ReportKind::Output, ReportKind::Feature}) {
            KnownParser parser(collection.layout(kind));
            for (const auto& cap : parser.buttons())
                named.push_back(cap);
            for (const auto& cap : parser.values())
                named.push_back(cap);
        }
        EXPECT_EQ(hid::windows::reportIdsOf(named), collection.reportIds);
    }
}

// A parser that refuses every write: nothing can be placed, and nothing is made up.
class RefusingParser final : public hid::windows::ReportWriter {
public:
    bool getUsages(ReportKind, const SystemCap&, std::span<const std::uint8_t>,
                   std::vector<std::uint16_t>&) override
    {
        return false;
    }
    bool setUsages(ReportKind, const SystemCap&, std::span<const std::uint16_t>,
                   std::span<std::uint8_t>) override
    {
        return false;
    }
    bool setValue(ReportKind, const SystemCap&, std::uint16_t, std::uint32_t,
                  std::span<std::uint8_t>) override
    {
        return false;
    }
};

TEST(SystemCaps, CapsTheParserWillNotWriteAreLeftOutAndTheLengthKept)
{
    RefusingParser parser;
    SystemCap button;
    button.usagePage = 0x09;
    button.bitField = 0x02;
    button.usageMin = 1;
    button.usageMax = 5;
    SystemCap value = button;
    value.usagePage = 0x01;
    value.bitSize = 16;
    value.reportCount = 1;
    const std::vector<SystemCap> buttons{button};
    const std::vector<SystemCap> values{value};
    const auto layout = hid::windows::placeCaps(ReportKind::Input, 8, buttons, values, parser);
    EXPECT_EQ(layout.byteLength, 8u);
    EXPECT_TRUE(layout.buttonCaps.empty());
    EXPECT_TRUE(layout.valueCaps.empty());
    // A report of no data bytes has nowhere to place anything.
    EXPECT_TRUE(
        hid::windows::placeCaps(ReportKind::Input, 1, buttons, values, parser).buttonCaps.empty());
}

} // namespace
