#include "profile/hs6533_profile_data.h"
#include "profile/json_access.h"
#include "profile/key_codes.h"
#include "profile/keyboard_profile_data.h"
#include "profile/light_presets.h"
#include "profile/mouse_profile_data.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <set>

using namespace profile;
using testing_support::TempDir;

namespace {

std::filesystem::path factory(const char* name)
{
    return std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData" / name;
}

// A fresh profile completed from the shipped factory file.
template <class Record> void loadFromFactory(Record& record, const char* name, const TempDir& dir)
{
    record.SetDefaultPath(factory(name));
    ASSERT_FALSE(record.LoadProfileFile(dir / "p.Json").isNull()) << name;
}

} // namespace

TEST(FactoryData, KeyboardDefaultsMatchTheKeyPositionTable)
{
    TempDir dir;
    CKeyboardProfiledata record;
    loadFromFactory(record, "keyboard.Json", dir);
    const auto keys = record.LoadKeyList();
    const auto positions = keyboardPositionTable();
    ASSERT_EQ(keys.size(), positions.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].defaultCode, positions[i]) << i;
        EXPECT_EQ(keys[i].current, keys[i].defaultCode) << i;
    }
    EXPECT_EQ(record.LoadLightList().size(), 170u);
    EXPECT_LT(record.LoadLightInfo().mode, 31);
    EXPECT_EQ(record.LoadCustomColours(0, 170).size(), 170u);
    EXPECT_LE(record.LoadSystemStages().repeatDelay, 3);
}

TEST(FactoryData, OtherDevicesLoadTheirSections)
{
    TempDir dir;
    CMouseProfiledata mouse;
    loadFromFactory(mouse, "mouse.Json", dir);
    const auto keys = mouse.LoadKeyList();
    const auto positions = mousePositionTable();
    ASSERT_EQ(keys.size(), positions.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(keys[i].defaultCode, positions[i]) << i;
    EXPECT_EQ(mouse.LoadDpiStages().size(), 5u);
    EXPECT_EQ(mouse.LoadLightList().size(), 15u);

    TempDir padDir;
    CBasicProfiledata pad;
    loadFromFactory(pad, "MousePad.Json", padDir);
    EXPECT_EQ(pad.LoadLightList().size(), 15u);

    TempDir headsetDir;
    CHs6533Profiledata headset;
    loadFromFactory(headset, "HD.Json", headsetDir);
    for (int preset = 0; preset <= 12; ++preset)
        EXPECT_EQ(headset.LoadEqValues(preset).size(), kEqBandCount);
    EXPECT_EQ(headset.LoadCustomEqNames().size(), 3u);
}

TEST(FactoryData, EveryBuiltInEffectHasAUniqueCode)
{
    LightPresets presets;
    loadLightPresets(presets, factory("default_light.json"), {});
    ASSERT_EQ(presets.effectNames.size(), 31u);
    EXPECT_EQ(std::set<std::int32_t>(presets.effectCodes.begin(), presets.effectCodes.end()).size(),
              31u);
    for (int mode = 0; mode < 31; ++mode)
        EXPECT_EQ(modeForEffectCode(presets, effectCodeForMode(presets, mode)), mode);
}
