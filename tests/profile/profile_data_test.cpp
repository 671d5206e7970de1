#include "profile/hs6533_profile_data.h"
#include "profile/json_access.h"
#include "profile/keyboard_profile_data.h"
#include "profile/mouse_profile_data.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace profile;
using testing_support::TempDir;

namespace {

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

Json::Value parsed(const std::string& text)
{
    return parseJson(text).value();
}

// A keyboard record with a factory file holding one light setting and two keys.
class KeyboardRecord : public ::testing::Test {
protected:
    KeyboardRecord()
    {
        writeBytes(factory(), R"({"profilename": "x", "Device": [{
            "LightInfo": {"SelectItem": 2, "Red": 255, "MultiColor": 5},
            "KeyList": [{"Assignment": 2097193, "DefaultAssignment": 2097193},
                        {"Assignment": 2097210, "DefaultAssignment": 2097210}]}]})");
        record.SetDefaultPath(factory());
    }
    std::filesystem::path factory() const { return dir / "keyboard.Json"; }
    std::filesystem::path profileFile() const { return dir / "p.Json"; }

    TempDir dir;
    CKeyboardProfiledata record;
};

} // namespace

TEST_F(KeyboardRecord, MissingProfileIsCompletedOnceFromFactoryData)
{
    const Json::Value data = record.LoadProfileFile(profileFile());
    EXPECT_EQ(json::readInt(json::member(json::member(data, "LightInfo"), "Red")), 255);
    const std::string written = fileBytes(profileFile());
    ASSERT_FALSE(written.empty());
    EXPECT_TRUE(json::member(CJsonFile().ReadJson(profileFile()), "profilename").isNull());
    // A second load finds the device data and leaves the file alone.
    writeBytes(profileFile(), written + " ");
    record.LoadProfileFile(profileFile());
    EXPECT_EQ(fileBytes(profileFile()), written + " ");
}

TEST_F(KeyboardRecord, CompletionKeepsTheOtherMembersOfAProfile)
{
    writeBytes(profileFile(), R"({"profilename": "mine", "profileUUID": "p", "Device": 5})");
    record.LoadProfileFile(profileFile());
    const Json::Value completed = CJsonFile().ReadJson(profileFile());
    EXPECT_EQ(json::readString(json::member(completed, "profilename")), "mine");
    EXPECT_FALSE(json::element(json::member(completed, "Device"), 0).isNull());
    EXPECT_FALSE(std::filesystem::exists(dir / "p.Json.corrupt"));
}

TEST_F(KeyboardRecord, DamagedProfileIsKeptAsideBeforeItIsReplaced)
{
    writeBytes(profileFile(), "{\"profilename\": \"mine\", \"Device\": [");
    record.LoadProfileFile(profileFile());
    EXPECT_EQ(fileBytes(dir / "p.Json.corrupt"), "{\"profilename\": \"mine\", \"Device\": [");
    EXPECT_FALSE(json::member(CJsonFile().ReadJson(profileFile()), "Device").isNull());
}

TEST_F(KeyboardRecord, UnreadableProfileUsesFactoryDataWithoutWriting)
{
    std::filesystem::create_directory(profileFile()); // exists, cannot be read as a file
    const Json::Value data = record.LoadProfileFile(profileFile());
    EXPECT_FALSE(data.isNull());
    EXPECT_TRUE(std::filesystem::is_directory(profileFile()));
    EXPECT_NE(record.SaveDeviceData(data, profileFile()), 0);
}

TEST_F(KeyboardRecord, NothingIsWrittenWhenFactoryDataIsMissingToo)
{
    record.SetDefaultPath(dir / "absent.Json");
    writeBytes(profileFile(), R"({"profilename": "mine"})");
    EXPECT_TRUE(record.LoadProfileFile(profileFile()).isNull());
    EXPECT_EQ(fileBytes(profileFile()), R"({"profilename": "mine"})");
}

TEST_F(KeyboardRecord, SaveReplacesOnlyItsDeviceElement)
{
    writeBytes(profileFile(), R"({"profilename": "mine", "profileUUID": "id", "extra": [1]})");
    record.SetDeviceIndex(2);
    record.SetProfilePath(profileFile());
    record.LoadProfileFile(profileFile());
    record.StoreLightInfo(LightInfo{});
    ASSERT_EQ(record.SaveProfile(), 0);
    const Json::Value saved = CJsonFile().ReadJson(profileFile());
    EXPECT_EQ(json::readString(json::member(saved, "profilename")), "mine");
    EXPECT_EQ(json::member(saved, "extra"), parsed("[1]"));
    EXPECT_EQ(json::arraySize(json::member(saved, "Device")), 3u);
    EXPECT_TRUE(json::element(json::member(saved, "Device"), 0).isNull());
}

TEST_F(KeyboardRecord, LightInfoFlagsReadAsOneAndMissingMembersAsZero)
{
    record.LoadProfileFile(profileFile());
    LightInfo info = record.LoadLightInfo();
    EXPECT_EQ(info.mode, 2);
    EXPECT_EQ(info.multiColour, 1);
    EXPECT_EQ(info.speed, 0);
    record.StoreLightInfo(info);
    const Json::Value& stored = json::member(record.deviceData(), "LightInfo");
    EXPECT_EQ(json::readInt(json::member(stored, "MultiColor")), 1);
    EXPECT_EQ(stored.size(), 11u);
}

TEST_F(KeyboardRecord, StoreKeyListTouchesOnlyAssignmentsOfListedKeys)
{
    record.LoadProfileFile(profileFile());
    auto keys = record.LoadKeyList();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1].current.keyIndex, 1);
    keys.resize(1);
    keys[0].current = makeCode(0x20, 0x01, 0x06);
    record.StoreKeyList(keys);
    const Json::Value& list = json::member(record.deviceData(), "KeyList");
    EXPECT_EQ(json::readInt(json::member(list[0], "Assignment")), 0x200106);
    EXPECT_EQ(json::readInt(json::member(list[0], "DefaultAssignment")), 2097193);
    EXPECT_EQ(json::readInt(json::member(list[1], "Assignment")), 2097210);
    keys.resize(3);
    record.StoreKeyList(keys);
    EXPECT_EQ(json::member(record.deviceData(), "KeyList")[2].getMemberNames(),
              std::vector<std::string>{"Assignment"});
}

TEST_F(KeyboardRecord, CustomColoursOfAMissingGroupAreZeroAndWrittenIntoTheTree)
{
    record.LoadProfileFile(profileFile());
    const auto colours = record.LoadCustomColours(2, 4);
    EXPECT_EQ(colours, std::vector<RgbaColour>(4));
    const Json::Value& group = json::element(
        json::member(json::member(record.deviceData(), "CustomLightMode"), "LightColorInfo"), 2);
    ASSERT_EQ(json::arraySize(group), 4u);
    EXPECT_EQ(group[3], parsed(R"({"Alpha":0,"Blue":0,"Green":0,"Red":0})"));
    // A group number from a damaged file does not grow the tree without bound.
    EXPECT_EQ(record.LoadCustomColours(1 << 30, 2).size(), 2u);
    EXPECT_EQ(json::arraySize(json::member(json::member(record.deviceData(), "CustomLightMode"),
                                           "LightColorInfo")),
              3u);
}

TEST_F(KeyboardRecord, WrongTypedDeviceDataReadsAsMissingAndStoresReplaceIt)
{
    writeBytes(profileFile(), R"({"Device": [{"LightInfo": [1, 2], "KeyList": {"a": 1},
        "SystemStages": "fast", "CustomLightMode": 7, "LightList": [null, {"red": "x"}, 3]}]})");
    record.LoadProfileFile(profileFile());
    EXPECT_EQ(record.LoadLightInfo(), LightInfo{});
    EXPECT_TRUE(record.LoadKeyList().empty());
    EXPECT_EQ(record.LoadSystemStages(), KeyboardSystemStages{});
    EXPECT_EQ(record.LoadCustomGroup(), 0);
    const auto lights = record.LoadLightList();
    ASSERT_EQ(lights.size(), 3u);
    EXPECT_EQ(lights[1].present, 1);
    EXPECT_EQ(lights[2].present, 0);
    record.StoreCustomGroup(3);
    record.StoreSystemStages(0x00020001, 0, 0);
    EXPECT_EQ(record.LoadCustomGroup(), 3);
    EXPECT_EQ(record.LoadSystemStages().repeatDelay, 2);
}

TEST(MouseRecord, LoadedStagesReplaceHeldOnesAndKeepTheRest)
{
    TempDir dir;
    writeBytes(dir / "m.Json", R"({"Device": [{"DPIStages": {"StageActive": 1, "StageDPIs": [
        {"StageDPIX": 800}, {"StageDPIX": 1600}, {"StageDPIX": 70000}, {}, {}]},
        "SystemStages": {"MouseSpeed": 10, "ScorllPage": 3}}]})");
    CMouseProfiledata record;
    record.LoadProfileFile(dir / "m.Json");
    ASSERT_EQ(record.LoadDpiStages().size(), 5u);
    writeBytes(dir / "m.Json", R"({"Device": [{"DPIStages": {"StageDPIs": [
        {"StageDPIX": 400}, {}, {"StageDPIX": 100}]}}]})");
    record.LoadProfileFile(dir / "m.Json");
    const auto stages = record.LoadDpiStages();
    ASSERT_EQ(stages.size(), 5u);
    EXPECT_EQ(stages[0].dpiX, 400);
    EXPECT_EQ(stages[2].dpiX, 100);
    EXPECT_EQ(record.GetActiveStage(), 0);
}

TEST(MouseRecord, MissingReportStagesReadsZeroBesideTheOtherStages)
{
    TempDir dir;
    writeBytes(dir / "m.Json", R"({"Device": [{"SystemStages": {"MouseSpeed": 10,
        "ScorllPage": 3, "WheelScorlllinse": 70000}}]})");
    CMouseProfiledata record;
    record.LoadProfileFile(dir / "m.Json");
    const auto stages = record.LoadMouseSystemStages();
    EXPECT_EQ(stages.mouseSpeed, 10);
    EXPECT_EQ(stages.scrollPage, 3);
    EXPECT_EQ(stages.wheelScrollLines, 0x1170); // the low 16 bits of 70000
    EXPECT_EQ(stages.reportStage, 0);
}

TEST(HeadsetRecord, EqualiserPresetsMapToTheirCurves)
{
    TempDir dir;
    writeBytes(dir / "h.Json", R"({"Device": [{"EQHzValueInfo": [null,
        [{"value": 1}, {"value": 2}], [{"value": 9}]]}]})");
    CHs6533Profiledata record;
    record.LoadProfileFile(dir / "h.Json");
    EXPECT_TRUE(record.LoadEqValues(13).empty());
    const auto curve = record.LoadEqValues(0);
    ASSERT_EQ(curve.size(), kEqBandCount);
    EXPECT_EQ(curve[1], 2);
    EXPECT_EQ(curve[9], 0);
    EXPECT_EQ(record.LoadEqValues(20), curve);
    EXPECT_EQ(record.LoadEqValues(2)[0], 9);
    // Missing bands were filled into the tree.
    EXPECT_EQ(json::arraySize(json::element(json::member(record.deviceData(), "EQHzValueInfo"), 1)),
              kEqBandCount);
    record.StoreCustomEqNames({L"低音", L"B"});
    EXPECT_EQ(record.LoadCustomEqNames(), (std::vector<std::wstring>{L"低音", L"B"}));
}
