#include "profile/light_presets.h"
#include "profile/profile_data.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace profile;
using testing_support::TempDir;

namespace {

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(LightPresets, MissingFilesKeepTheListsAndHiddenEffectsKeepTheirIndex)
{
    TempDir dir;
    LightPresets presets;
    loadLightPresets(presets, dir / "none.json", dir / "none.config");
    EXPECT_TRUE(presets.effectNames.empty());
    writeBytes(dir / "default_light.json", R"({"DefaultLightName": [[
        {"LightName": "a", "visible": true, "value": 10},
        {"LightName": "b", "visible": false, "value": 11},
        {"LightName": "c", "visible": true, "value": 10}]],
        "AreaLightName": [[{"LightName": "left"}]]})");
    writeBytes(dir / "novik_light.config", R"({"LightInfo": [[{"LightName": "mine"}]]})");
    loadLightPresets(presets, dir / "default_light.json", dir / "novik_light.config");
    EXPECT_EQ(presets.effectNames, (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(presets.effectVisible, (std::vector<std::int32_t>{1, 0, 1}));
    EXPECT_EQ(presets.customEffectNames, std::vector<std::wstring>{L"mine"});
    loadLightPresets(presets, dir / "none.json", dir / "none.config");
    EXPECT_EQ(presets.effectNames.size(), 3u);
    EXPECT_EQ(presets.areaNames, std::vector<std::wstring>{L"left"});
    // Effect codes both ways: unknown indices use entry 0, read-back takes the first match.
    EXPECT_EQ(effectCodeForMode(presets, 31), 10);
    EXPECT_EQ(effectCodeForMode(presets, 1), 11);
    EXPECT_EQ(modeForEffectCode(presets, 10), 0);
    EXPECT_EQ(modeForEffectCode(presets, 99), 99);
}

TEST(LightPresets, EffectStepsComeFromTheStepFileBesideTheCustomList)
{
    TempDir root;
    const auto dir = root / "keyboard";
    std::filesystem::create_directory(dir);
    writeBytes(dir / "novik_light.config", R"({"LightInfo": [[{"Guid": "one"},
        {"Guid": "../escape"}]]})");
    writeBytes(dir / "one.light", R"({"LEDEffectList": [{"LEDREGMode": 1, "red": 255,
        "LEDDirection": 3, "Time": 2000, "Cyle": 1}, {}, {"green": 300}]})");
    writeBytes(root / "escape.light", R"({"LEDEffectList": [{}]})");
    CBasicProfiledata record;
    record.SetConfigPath(dir / "novik_light.config");
    record.LoadConfigFile(dir / "novik_light.config");
    const auto steps = record.LoadEffectSteps(); // mode 0
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].direction, 3); // an integer here, not a flag
    EXPECT_EQ(steps[0].time, 2000);
    EXPECT_EQ(steps[2].green, 44); // the low 8 bits of 300
    for (std::uint8_t byte : steps[0].reserved)
        EXPECT_EQ(byte, 0);
    EXPECT_TRUE(
        readEffectSteps(record.LoadConfigFile(dir / "novik_light.config"), 0, 1, dir).empty());
    EXPECT_TRUE(
        readEffectSteps(record.LoadConfigFile(dir / "novik_light.config"), 0, 3, dir).empty());
}
