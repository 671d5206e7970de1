#include "device/protocol/macro_block.h"

#include <gtest/gtest.h>

#include <vector>

using protocol::Macro;
using protocol::MacroEvent;

namespace {

Macro macroOf(std::size_t events, std::uint8_t code = 0x04)
{
    Macro macro;
    for (std::size_t i = 0; i < events; ++i)
        macro.events.push_back({static_cast<std::uint16_t>(10 * i), 1, i % 2 == 0, code});
    return macro;
}

} // namespace

TEST(MacroEvent, EncodesDelayLowFirstAndPressInBitSeven)
{
    using Bytes = std::array<std::uint8_t, 4>;
    EXPECT_EQ(protocol::encodeMacroEvent({300, 1, true, 0x04}), (Bytes{0x2C, 0x01, 0x81, 0x04}));
    EXPECT_EQ(protocol::encodeMacroEvent({300, 1, false, 0x04}), (Bytes{0x2C, 0x01, 0x01, 0x04}));
    // A type wider than seven bits must not fake a press.
    EXPECT_EQ(protocol::encodeMacroEvent({0, 0x81, false, 0}), (Bytes{0, 0, 0x01, 0}));
}

TEST(MacroBlock, TwoMacrosOfThreeAndFiveEvents)
{
    const std::vector<Macro> macros{macroOf(3), macroOf(5)};
    const auto block = protocol::buildMacroBlock(macros);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 60u);
    const std::vector<std::uint8_t> header(block->begin(), block->begin() + 20);
    EXPECT_EQ(header, (std::vector<std::uint8_t>{0xAA, 0x55, 60, 0, 2, 0, 0,  0, 0,  0,
                                                 0,    0,    0,  0, 0, 0, 20, 0, 36, 0}));
    // Each record starts with its event count and two zero bytes.
    EXPECT_EQ((*block)[20], 3);
    EXPECT_EQ((*block)[21], 0);
    EXPECT_EQ((*block)[36], 5);
    // The second macro's first event (delay 0, press, type 1, code 4) follows at 40.
    EXPECT_EQ((*block)[40 + 2], 0x81);
    EXPECT_EQ((*block)[40 + 3], 0x04);
}

TEST(MacroBlock, ParsesWhatItBuilds)
{
    const std::vector<Macro> macros{macroOf(3, 0x10), Macro{}, macroOf(7, 0x20)};
    const auto block = protocol::buildMacroBlock(macros);
    ASSERT_TRUE(block);
    EXPECT_EQ(protocol::parseMacroBlock(*block), macros);
}

TEST(MacroBlock, TotalsBeyondSixteenBitsAreRefusedNotWrapped)
{
    // 16 + 6 + 4 × 16378 = 65534 fits; two more events need 65542 and would wrap to 6.
    std::vector<Macro> macros{macroOf(16378)};
    EXPECT_EQ(protocol::macroBlockSize(macros), 65534u);
    EXPECT_TRUE(protocol::buildMacroBlock(macros));
    macros[0].events.resize(16380);
    EXPECT_EQ(protocol::macroBlockSize(macros), 65542u);
    EXPECT_FALSE(protocol::buildMacroBlock(macros));
}

TEST(MacroBlockParser, RejectsBlocksThatPointOutsideThemselves)
{
    const std::vector<Macro> macros{macroOf(3), macroOf(5)};
    const auto good = *protocol::buildMacroBlock(macros);
    const struct {
        const char* what;
        std::size_t at;
        std::uint8_t value;
    } corruptions[] = {
        {"wrong magic", 0, 0x00},
        {"total past the bytes", 2, 61},
        {"macro count past the offset table", 4, 30},
        {"offset past the end", 18, 58},
        {"event count past the end", 36, 6},
    };
    for (const auto& c : corruptions) {
        auto block = good;
        block[c.at] = c.value;
        EXPECT_FALSE(protocol::parseMacroBlock(block)) << c.what;
    }
    EXPECT_FALSE(protocol::parseMacroBlock(std::span(good).first(15))) << "truncated header";
    EXPECT_FALSE(protocol::parseMacroBlock(std::span(good).first(59))) << "truncated body";
}
