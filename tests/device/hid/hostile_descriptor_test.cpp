#include "device/hid/report_descriptor.h"

#include "device/hid/sim/sim_interface.h"
#include "devsim/keyboard_interfaces.h"
#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using hid::parseReportDescriptor;
using Bytes = std::vector<std::uint8_t>;

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A small vendor collection with report id `id` and one 8-byte input report.
Bytes vendorCollection(std::uint8_t id)
{
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, id,
            0x09, 0x01, 0x75, 0x08, 0x95, 0x07, 0x81, 0x02, 0xC0};
}

std::vector<std::uint32_t> numbers(const std::vector<hid::CollectionInfo>& collections)
{
    std::vector<std::uint32_t> result;
    for (const auto& collection : collections)
        result.push_back(collection.number);
    return result;
}

class HostileDescriptor : public ::testing::Test {
protected:
    void SetUp() override { platform::clearDebugLines(); }
};

TEST_F(HostileDescriptor, EveryTruncationKeepsOnlyWholeCollections)
{
    const auto full = devsim::compositeDescriptor();
    const auto whole = parseReportDescriptor(full);
    ASSERT_EQ(whole.size(), 4u);
    for (std::size_t length = 0; length < full.size(); ++length) {
        SCOPED_TRACE("first " + std::to_string(length) + " bytes");
        const auto cut = parseReportDescriptor(full.first(length));
        ASSERT_LT(cut.size(), whole.size());
        for (std::size_t i = 0; i < cut.size(); ++i) {
            EXPECT_EQ(cut[i].number, whole[i].number);
            EXPECT_EQ(cut[i].input.byteLength, whole[i].input.byteLength);
            EXPECT_EQ(cut[i].output.byteLength, whole[i].output.byteLength);
        }
    }
    // Cut inside the vendor collection's last item.
    (void)parseReportDescriptor(full.first(full.size() - 2));
    EXPECT_TRUE(platform::debugLinesContain(L"collection 4 skipped"));
}

TEST_F(HostileDescriptor, DeepNestingSkipsThatCollectionOnly)
{
    Bytes deep{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};
    for (int i = 0; i < 40; ++i)
        deep.insert(deep.end(), {0xA1, 0x00});
    deep.insert(deep.end(), {0x85, 0x02, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02});
    for (int i = 0; i < 41; ++i)
        deep.push_back(0xC0);
    const auto collections =
        parseReportDescriptor(concat({vendorCollection(1), deep, vendorCollection(3)}));
    // The bad one keeps its number, so the third collection stays "&col03".
    EXPECT_EQ(numbers(collections), (std::vector<std::uint32_t>{1, 3}));
    EXPECT_TRUE(platform::debugLinesContain(L"collection 2 skipped: collections nested deeper"));
}

TEST_F(HostileDescriptor, DroppedLastCollectionKeepsTheOthersNumberedInTheirPaths)
{
    Bytes deep{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};
    for (int i = 0; i < 40; ++i)
        deep.insert(deep.end(), {0xA1, 0x00});
    for (int i = 0; i < 41; ++i)
        deep.push_back(0xC0);
    const auto descriptor = concat({vendorCollection(1), deep});
    const auto parsed = hid::parseDescriptor(descriptor);
    EXPECT_EQ(numbers(parsed.collections), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(parsed.collectionCount, 2u);
    // With one collection left, its path still says which of two it is.
    hid::sim::SimInterface sim({0x1234, 0x0001, 0x0100, 1}, descriptor);
    EXPECT_NE(sim.path(1).find(L"&col01"), std::wstring::npos);
}

TEST_F(HostileDescriptor, AbsurdSizesAreRefused)
{
    const Bytes hugeCount{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x09,
                          0x01, 0x75, 0x08, 0x96, 0xFF, 0xFF, 0x81, 0x02, 0xC0};
    const Bytes hugeSize{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x09, 0x01,
                         0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x95, 0x01, 0x81, 0x02, 0xC0};
    // Each item is allowed, but together they make one report longer than 4 KiB.
    Bytes longReport{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
                     0x85, 0x02, 0x75, 0x08, 0x96, 0x00, 0x08};
    for (int i = 0; i < 3; ++i)
        longReport.insert(longReport.end(), {0x09, 0x01, 0x81, 0x02});
    longReport.push_back(0xC0);
    for (const auto& bad : {hugeCount, hugeSize, longReport}) {
        const auto collections =
            parseReportDescriptor(concat({vendorCollection(1), bad, vendorCollection(3)}));
        EXPECT_EQ(numbers(collections), (std::vector<std::uint32_t>{1, 3}));
    }
    EXPECT_TRUE(platform::debugLinesContain(L"is absurd"));
    EXPECT_TRUE(platform::debugLinesContain(L"longer than 4096 bytes"));
}

TEST_F(HostileDescriptor, CapsWhoseUsageListsWouldExplodeAreRefused)
{
    // 300 items of eight buttons, each its own cap on one page: every cap's usage list holds
    // all 300 x 8 slots of the page, 720 000 entries in all, which is still allowed.
    Bytes many{0x05, 0x09, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00, 0x25,
               0x01, 0x75, 0x01, 0x95, 0x08, 0x19, 0x01, 0x29, 0x08, 0x81, 0x02};
    for (int i = 0; i < 299; ++i)
        many.insert(many.end(), {0x19, 0x01, 0x29, 0x08, 0x81, 0x02});
    many.push_back(0xC0);
    EXPECT_EQ(parseReportDescriptor(many).size(), 1u);

    Bytes wide{0x05, 0x09, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
               0x25, 0x01, 0x75, 0x01, 0x96, 0xE0, 0x0F};
    for (std::uint8_t id = 2; id < 7; ++id) {
        wide.insert(wide.end(), {0x85, id});
        for (int item = 0; item < 8; ++item)
            wide.insert(wide.end(), {0x19, 0x01, 0x2A, 0xE0, 0x0F, 0x81, 0x02});
    }
    wide.push_back(0xC0);
    // Five reports of eight 4064-button items: 40 caps, each list 162 560 usages long.
    EXPECT_TRUE(parseReportDescriptor(wide).empty());
    EXPECT_TRUE(platform::debugLinesContain(L"usage lists would hold"));
}

TEST_F(HostileDescriptor, MalformedStructureIsRefused)
{
    const Bytes pushes = [] {
        Bytes b{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
        for (int i = 0; i < 20; ++i)
            b.push_back(0xA4);
        b.push_back(0xC0);
        return b;
    }();
    const Bytes reversedRange{0x05, 0x09, 0x09, 0x01, 0xA1, 0x01, 0x19, 0x09, 0x29,
                              0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0};
    const Bytes reportIdZero{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x00, 0xC0};
    // Report id 1 already belongs to collection 1.
    const Bytes stolenId = vendorCollection(1);
    for (const auto& bad : {pushes, reversedRange, reportIdZero, stolenId}) {
        const auto collections =
            parseReportDescriptor(concat({vendorCollection(1), bad, vendorCollection(3)}));
        EXPECT_EQ(numbers(collections), (std::vector<std::uint32_t>{1, 3}));
    }
    // Never closed: skipped at the end.
    EXPECT_EQ(numbers(parseReportDescriptor(
                  concat({vendorCollection(1), {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01}}))),
              (std::vector<std::uint32_t>{1}));
}

TEST_F(HostileDescriptor, OversizedDescriptorIsRefusedWhole)
{
    Bytes big;
    while (big.size() <= hid::kMaxDescriptorBytes)
        big = concat({big, vendorCollection(1)});
    EXPECT_TRUE(parseReportDescriptor(big).empty());
    EXPECT_TRUE(platform::debugLinesContain(L"report descriptor rejected"));
}

TEST_F(HostileDescriptor, RandomBytesNeverBreakTheParser)
{
    // Under the sanitizers this catches any read past the input or runaway allocation.
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(0, 300);
    for (int round = 0; round < 2000; ++round) {
        Bytes bytes(length(random));
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(byte(random));
        for (const auto& collection : parseReportDescriptor(bytes)) {
            EXPECT_LE(collection.input.byteLength, hid::kMaxReportBytes);
            EXPECT_FALSE(collection.reportIds.empty());
        }
    }
}

} // namespace
