#include "app/message_checks.h"
#include "app/power_display.h"
#include "shell/language_table.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <memory>

TEST(MessageChecks, RowsOutsideTheTableAreRefused)
{
    EXPECT_EQ(app::rowFromMessage(10, 11), 10u);
    EXPECT_FALSE(app::rowFromMessage(11, 11));
    EXPECT_FALSE(app::rowFromMessage(~WPARAM{0}, 11));
}

TEST(MessageChecks, CopyDataIsReadOnlyAsFarAsItGoesInWholeValues)
{
    // Exactly as long as the data: a read past it shows under AddressSanitizer.
    const auto bytes = std::make_unique<std::uint8_t[]>(7);
    const std::uint8_t pattern[7] = {1, 0, 0, 0, 2, 0, 0};
    std::copy(pattern, pattern + 7, bytes.get());
    COPYDATASTRUCT data;
    data.dwData = 2;
    data.cbData = 7;
    data.lpData = bytes.get();
    const auto values = app::copyDataValues(&data, app::kExternalColourPayloadBytes);
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 6u);
    EXPECT_EQ((*values)[0], 1);
    EXPECT_EQ((*values)[1], 0) << "a part of a value reads as 0";
    EXPECT_EQ((*values)[5], 0);

    std::array<std::int32_t, 600> large{};
    large[499] = 7;
    large[500] = 9;
    data.cbData = sizeof(large);
    data.lpData = large.data();
    const auto spectrum = app::copyDataValues(&data, app::kSpectrumPayloadBytes);
    ASSERT_EQ(spectrum->size(), 500u);
    EXPECT_EQ(spectrum->back(), 7);

    data.cbData = 0;
    EXPECT_FALSE(app::copyDataValues(&data, 24));
    data.cbData = 24;
    data.lpData = nullptr;
    EXPECT_FALSE(app::copyDataValues(&data, 24));
    EXPECT_FALSE(app::copyDataValues(nullptr, 24));
}

TEST(PowerDisplay, LevelChargingAndWirelessChooseWhatTheTileShows)
{
    const std::array<std::uint8_t, 4> charged{57, 0, 0, 0};
    const auto display = app::powerDisplay(charged);
    ASSERT_TRUE(display);
    EXPECT_EQ(display->valueText, L"57%");
    EXPECT_EQ(display->progress, 43);
    EXPECT_EQ(display->statusImage, L"file='power/powered.png'");
    const std::array<std::uint8_t, 4> wirelessCharging{20, 1, 0, 1};
    EXPECT_EQ(app::powerDisplay(wirelessCharging)->progressVisible, false);
    EXPECT_EQ(app::powerDisplay(wirelessCharging)->statusImage,
              L"file='power/wuxian_powering.png'");
    const std::array<std::uint8_t, 4> unknown{20, 9, 0, 0};
    EXPECT_FALSE(app::powerDisplay(unknown)->statusImage);
    EXPECT_FALSE(app::powerDisplay(std::span<const std::uint8_t>(charged.data(), 3)));
}

TEST(LanguageTable, MissingOrBrokenEntriesApplyNothing)
{
    testing_support::TempDir dir;
    std::ofstream(dir / "Language.config") << R"({"Language":[
        {"Language_name":"en","Language_file":"lan_en.xml","Language_ID":1033},
        {"Language_name":"cn"},
        {"Language_name":"cn","Language_file":"lan_cn.xml","Language_ID":2052}]})";
    const auto table = shell::LanguageTable::read(dir / "Language.config");
    EXPECT_EQ(table.size(), 3u);
    EXPECT_EQ(table.entry(0)->file, L"lan_en.xml");
    EXPECT_FALSE(table.entry(1)) << "an entry without a file";
    EXPECT_FALSE(table.entry(3));
    EXPECT_FALSE(table.entry(-1));
    EXPECT_EQ(table.indexOfId(2052), 2);
    EXPECT_EQ(table.indexOfId(shell::LanguageTable::kMissingId), 0);

    std::ofstream(dir / "broken.config") << "{ not json";
    EXPECT_EQ(shell::LanguageTable::read(dir / "broken.config").size(), 0u);
    EXPECT_EQ(shell::LanguageTable::read(dir / "missing.config").size(), 0u);
    EXPECT_TRUE(shell::languageNeedsFontRebuild(-1, 5));
    EXPECT_TRUE(shell::languageNeedsFontRebuild(1, 15));
    EXPECT_FALSE(shell::languageNeedsFontRebuild(1, 3));
}
