#include "device/hid/report_descriptor.h"

#include "device/hid/sample_descriptors.h"

#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using hid::CollectionInfo;
using hid::parseReportDescriptor;
using Bytes = std::vector<std::uint8_t>;
using hid_samples::kBootKeyboard;
using hid_samples::kComposite;
using hid_samples::kMouse;

struct Expected {
    std::uint32_t number;
    std::uint16_t usagePage, usage;
    std::vector<std::uint8_t> reportIds;
    std::uint16_t input, output, feature;
    std::size_t inputButtons, inputValues, outputButtons, outputValues;
};

void expectCollection(const CollectionInfo& got, const Expected& want)
{
    SCOPED_TRACE("collection " + std::to_string(want.number));
    EXPECT_EQ(got.number, want.number);
    EXPECT_EQ(got.usagePage, want.usagePage);
    EXPECT_EQ(got.usage, want.usage);
    EXPECT_EQ(got.reportIds, want.reportIds);
    EXPECT_EQ(got.input.byteLength, want.input);
    EXPECT_EQ(got.output.byteLength, want.output);
    EXPECT_EQ(got.feature.byteLength, want.feature);
    EXPECT_EQ(got.input.buttonCaps.size(), want.inputButtons);
    EXPECT_EQ(got.input.valueCaps.size(), want.inputValues);
    EXPECT_EQ(got.output.buttonCaps.size(), want.outputButtons);
    EXPECT_EQ(got.output.valueCaps.size(), want.outputValues);
}

TEST(ReportDescriptorGolden, BootKeyboard)
{
    const auto collections = parseReportDescriptor(kBootKeyboard);
    ASSERT_EQ(collections.size(), 1u);
    // Modifier bits and the key array are buttons; the LEDs are output buttons. The
    // reserved byte and the LED padding give no caps. Lengths count the id byte (0 here).
    expectCollection(collections[0], {1, 0x01, 0x06, {0}, 9, 2, 0, 2, 0, 1, 0});
    const auto& keys = collections[0].input.buttonCaps[1];
    EXPECT_TRUE(keys.isArray);
    EXPECT_EQ(keys.bitOffset, 16u);
    EXPECT_EQ(keys.reportCount, 6u);
    EXPECT_EQ(keys.usageMax, 0x65);
}

TEST(ReportDescriptorGolden, CompositeInterfaceNumbersCollectionsInOrder)
{
    const auto collections = parseReportDescriptor(kComposite);
    ASSERT_EQ(collections.size(), 4u);
    expectCollection(collections[0], {1, 0x01, 0x80, {2}, 2, 0, 0, 1, 0, 0, 0});
    expectCollection(collections[1], {2, 0x0C, 0x01, {3}, 3, 0, 0, 1, 0, 0, 0});
    expectCollection(collections[2], {3, 0xFF1C, 0x92, {4}, 64, 64, 0, 0, 1, 0, 1});
    expectCollection(collections[3], {4, 0xFF00, 0x01, {5}, 0, 0, 8, 0, 0, 0, 0});
    EXPECT_EQ(collections[3].feature.valueCaps.size(), 1u);
    EXPECT_TRUE(collections[2].usesReportIds());
}

TEST(ReportDescriptorGolden, MouseValuesKeepSignedRanges)
{
    const auto collections = parseReportDescriptor(kMouse);
    ASSERT_EQ(collections.size(), 1u);
    // 5 button bits + 3 padding, X and Y of 16 bits (a cap each), wheel of 8: 6 bytes + id.
    expectCollection(collections[0], {1, 0x01, 0x02, {0}, 7, 0, 0, 1, 3, 0, 0});
    const auto& xy = collections[0].input.valueCaps[0];
    EXPECT_EQ(xy.usageMin, 0x30);
    EXPECT_EQ(xy.slotCount, 1u);
    EXPECT_EQ(xy.logicalMin, -32767);
    EXPECT_EQ(xy.logicalMax, 32767);
    const auto& wheel = collections[0].input.valueCaps[2];
    EXPECT_EQ(wheel.usageMin, 0x38);
    EXPECT_EQ(wheel.bitOffset, 40u);
    EXPECT_EQ(wheel.logicalMin, -127);
}

TEST(ReportDescriptorGolden, OneByteMaximumAboveSignedRangeReadsUnsigned)
{
    // Logical maximum 0xFF written in one byte: 255, not -1.
    const auto collections = parseReportDescriptor(kComposite);
    ASSERT_EQ(collections.size(), 4u);
    EXPECT_EQ(collections[2].input.valueCaps[0].logicalMax, 255);
}

} // namespace

namespace {

// The usage page joins a usage when the main item comes, not when the usage is read.
TEST(ReportDescriptorUsagePages, UsageTakesThePageInForceAtTheMainItem)
{
    const Bytes usagesFirst{
        0x09, 0x01, 0x05, 0x0C, 0xA1, 0x01, 0x85, 0x03, // usage, then its page: consumer control
        0x05, 0x01, 0x09, 0xE9, 0x05, 0x0C,             // volume up named while desktop is in force
        0x0B, 0x30, 0x00, 0x01, 0x00,                   // desktop X, in four bytes: its own page
        0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x02, 0x81, 0x02, //
        0x95, 0x06, 0x81, 0x01, 0xC0};
    const auto collections = parseReportDescriptor(usagesFirst);
    ASSERT_EQ(collections.size(), 1u);
    EXPECT_EQ(collections[0].usagePage, 0x000C);
    EXPECT_EQ(collections[0].usage, 0x0001);
    const auto& buttons = collections[0].input.buttonCaps;
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].usagePage, 0x000C);
    EXPECT_EQ(buttons[0].usageMin, 0x00E9);
    EXPECT_EQ(buttons[1].usagePage, 0x0001);
    EXPECT_EQ(buttons[1].usageMin, 0x0030);
}

TEST(ReportDescriptorUsagePages, PushedPageIsTheOneInForceAfterPop)
{
    // The usage is read under page 0x0C, the page is pushed away and popped back to desktop.
    const Bytes pushed{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0xA4, 0x05, 0x0C, 0x09, 0x30, 0xB4,
                       0x15, 0x00, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0};
    const auto collections = parseReportDescriptor(pushed);
    ASSERT_EQ(collections.size(), 1u);
    ASSERT_EQ(collections[0].input.valueCaps.size(), 1u);
    EXPECT_EQ(collections[0].input.valueCaps[0].usagePage, 0x0001);
    EXPECT_EQ(collections[0].input.valueCaps[0].usageMin, 0x0030);
}

// A touchscreen's configuration collection: nine vendor feature reports of 1023 data bytes
// each, 9207 fields in all, the longest report 1024 bytes with its id.
TEST(ReportDescriptorBounds, CollectionOfManyFieldsInShortReportsIsKept)
{
    Bytes touch{0x05, 0x0D, 0x09, 0x0E, 0xA1, 0x01, 0x06, 0x00, 0xFF, 0x15,
                0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96, 0xFF, 0x03};
    for (std::uint8_t id = 0x10; id < 0x19; ++id)
        touch.insert(touch.end(), {0x85, id, 0x09, 0xC5, 0xB1, 0x02});
    touch.push_back(0xC0);
    const auto collections = parseReportDescriptor(touch);
    ASSERT_EQ(collections.size(), 1u);
    EXPECT_EQ(collections[0].usagePage, 0x000D);
    EXPECT_EQ(collections[0].feature.byteLength, 1024);
    EXPECT_EQ(collections[0].feature.valueCaps.size(), 9u);
    EXPECT_EQ(collections[0].reportIds.size(), 9u);
}

} // namespace
