#include "hook/key_translation.h"

#include "profile/key_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

// The kernel's codes for HID keyboard usages, written down from the usage side so that a
// slip in the key-ordered table shows up here.
const std::map<std::uint8_t, std::uint16_t>& evdevOfHidUsage()
{
    static const std::map<std::uint8_t, std::uint16_t> table = [] {
        std::map<std::uint8_t, std::uint16_t> t;
        const std::uint16_t letters[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                           49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
        for (int i = 0; i < 26; ++i) {
            t[static_cast<std::uint8_t>(0x04 + i)] = letters[i];
        }
        // 0x1E-0x38 follow the kernel's list one by one.
        const std::uint16_t row[] = {2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 28, 1,  14, 15,
                                     57, 12, 13, 26, 27, 43, 43, 39, 40, 41, 51, 52, 53};
        for (std::size_t i = 0; i < std::size(row); ++i) {
            t[static_cast<std::uint8_t>(0x1E + i)] = row[i];
        }
        t[0x39] = 58;
        for (int i = 0; i < 10; ++i) {
            t[static_cast<std::uint8_t>(0x3A + i)] = static_cast<std::uint16_t>(59 + i);
        }
        const std::uint16_t rest[] = {87,  88,  99,  70, 119, 110, 102, 104, 111, 107, 109, 106,
                                      105, 108, 103, 69, 98,  55,  74,  78,  96,  79,  80,  81,
                                      75,  76,  77,  71, 72,  73,  82,  83,  86,  127};
        for (std::size_t i = 0; i < std::size(rest); ++i) {
            t[static_cast<std::uint8_t>(0x44 + i)] = rest[i];
        }
        t[0x85] = 121; // keypad comma
        t[0x87] = 89;  // Ro
        t[0x88] = 93;  // Katakana/Hiragana
        t[0x89] = 124; // Yen
        t[0x8A] = 92;  // Henkan
        t[0x8B] = 94;  // Muhenkan
        t[0x90] = 122; // Hangeul
        t[0x91] = 123; // Hanja
        return t;
    }();
    return table;
}

TEST(KeyTranslationTest, EveryCapturableKeyHasItsOwnEvdevCodeAndComesBackAsItself)
{
    const auto keys = profile::keyboardKeyTable();
    const auto scanCodes = profile::scanCodeTable();
    ASSERT_EQ(scanCodes.size(), hook::kCapturableKeyCount);
    std::set<std::uint16_t> seen;
    for (std::size_t i = 0; i < hook::kCapturableKeyCount; ++i) {
        SCOPED_TRACE(profile::keyboardKeyNameId(i).data());
        const auto evdev = hook::evdevCodeOfKey(i);
        ASSERT_TRUE(evdev.has_value());
        EXPECT_NE(*evdev, 0);
        EXPECT_TRUE(seen.insert(*evdev).second) << "evdev code " << *evdev << " twice";

        const auto key = hook::translateEvdevKey(*evdev);
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->keyIndex, i);
        EXPECT_EQ(key->virtualKey, keys[i].keyIndex);
        EXPECT_EQ(key->scanCode, scanCodes[i].scanCode);
        EXPECT_EQ(key->extended, scanCodes[i].extended != 0);
        // Capture looks the pressed key up by scan code; it must land on the same key.
        EXPECT_EQ(profile::keyForScanCode(key->scanCode, key->extended), i);
    }
    EXPECT_FALSE(hook::evdevCodeOfKey(hook::kCapturableKeyCount).has_value());
}

TEST(KeyTranslationTest, EvdevCodesAreTheKernelsForTheKeysHidUsage)
{
    const auto keys = profile::keyboardKeyTable();
    const std::uint16_t modifiers[8] = {29, 42, 56, 125, 97, 54, 100, 126};
    for (std::size_t i = 0; i < hook::kCapturableKeyCount; ++i) {
        SCOPED_TRACE(profile::keyboardKeyNameId(i).data());
        if (i < 8) {
            EXPECT_EQ(hook::evdevCodeOfKey(i), modifiers[i]);
            continue;
        }
        const auto usage = evdevOfHidUsage().find(keys[i].p2);
        ASSERT_NE(usage, evdevOfHidUsage().end()) << "usage " << int{keys[i].p2};
        EXPECT_EQ(hook::evdevCodeOfKey(i), usage->second);
    }
}

TEST(KeyTranslationTest, EveryKeyOfTheKeyboardCanBeCaptured)
{
    // Each position whose factory key has a scan code must be reachable from a key press.
    for (const auto& position : profile::keyboardPositionTable()) {
        const auto index = profile::findKeyboardKey(position);
        if (!index || *index >= hook::kCapturableKeyCount) {
            continue;
        }
        const auto evdev = hook::evdevCodeOfKey(*index);
        ASSERT_TRUE(evdev.has_value());
        const auto key = hook::translateEvdevKey(*evdev);
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->keyIndex, *index);
    }
}

TEST(KeyTranslationTest, HidUsagesFromTheWindowLandOnTheSameKeys)
{
    const auto keys = profile::keyboardKeyTable();
    for (std::size_t i = 0; i < hook::kCapturableKeyCount; ++i) {
        SCOPED_TRACE(profile::keyboardKeyNameId(i).data());
        const std::uint16_t usage = i < 8 ? static_cast<std::uint16_t>(0xE0 + i) : keys[i].p2;
        const auto key = hook::translateHidUsage(usage);
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->keyIndex, i);
    }
    EXPECT_FALSE(hook::translateHidUsage(0).has_value());
    EXPECT_FALSE(hook::translateHidUsage(0xE8).has_value());
    EXPECT_FALSE(hook::translateHidUsage(0x1234).has_value());
}

TEST(KeyTranslationTest, UnknownCodesAreNotKeys)
{
    EXPECT_FALSE(hook::translateEvdevKey(0).has_value());
    EXPECT_FALSE(hook::translateEvdevKey(183).has_value()); // F13
    EXPECT_FALSE(hook::translateEvdevKey(0xFFFF).has_value());
}

} // namespace
