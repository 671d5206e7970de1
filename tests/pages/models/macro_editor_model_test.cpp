#include "pages/models/macro_editor_model.h"

#include "profile/keyboard_profile_data.h"
#include "profile/profile_list.h"
#include "support/temp_dir.h"

#include <json/reader.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using pages::DelayMode;
using pages::MacroMouseButton;
using pages::RecordPosition;

constexpr std::uint8_t kScanA = 0x1E;
constexpr std::uint8_t kScanB = 0x30;
constexpr std::uint8_t kScanRightCtrl = 0x1D;

class MacroEditorModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.LoadLibrary();
        ASSERT_FALSE(model.NewMacro().empty());
        model.SelectMacro(0);
    }

    // The macro's file as saved: (type, action, button, delay) per event.
    std::vector<std::tuple<int, std::string, int, std::string>> savedEvents()
    {
        std::ifstream in(model.library().macroPath(0));
        Json::Value document;
        std::string errors;
        Json::CharReaderBuilder builder;
        EXPECT_TRUE(Json::parseFromStream(builder, in, &document, &errors)) << errors;
        std::vector<std::tuple<int, std::string, int, std::string>> events;
        for (const auto& event : document["Events"]) {
            events.emplace_back(event["Type"].asInt(), event["Action"].asString(),
                                event["Button"].asInt(), event["Delay"].asString());
        }
        return events;
    }

    testing_support::TempDir dir;
    pages::MacroEditorModel model{dir.path()};
};

TEST_F(MacroEditorModelTest, MeasuredRecordingGivesEachRowTheGapToTheNextEvent)
{
    model.StartRecording(DelayMode::Measured, RecordPosition::Append, L"", 1000);
    EXPECT_TRUE(model.RecordKey(kScanA, false, true, 1000));
    EXPECT_FALSE(model.RecordKey(kScanA, false, true, 1030)); // auto-repeat
    EXPECT_TRUE(model.RecordKey(kScanA, false, false, 1100));
    EXPECT_TRUE(model.RecordKey(kScanB, false, true, 1400));
    EXPECT_TRUE(model.RecordKey(kScanB, false, false, 1450));
    EXPECT_FALSE(model.RecordKey(0x6D, true, true, 1500)); // no such key
    model.StopRecording();

    using E = std::tuple<int, std::string, int, std::string>;
    EXPECT_EQ(savedEvents(), (std::vector<E>{{10, "down", 0x04, "100"},
                                             {10, "up", 0x04, "300"},
                                             {10, "down", 0x05, "50"},
                                             {10, "up", 0x05, "0"}}));
    EXPECT_EQ(model.selectedRow(), 3);
}

TEST_F(MacroEditorModelTest, ModifiersAndLongGapsAndConstantDelay)
{
    // A constant above the limit is held to 65535, and the edit says so.
    EXPECT_EQ(model.StartRecording(DelayMode::Constant, RecordPosition::Append, L"70000", 0),
              L"65535");
    model.RecordKey(kScanRightCtrl, true, true, 0);
    model.RecordKey(kScanRightCtrl, true, false, 5);
    model.StopRecording();
    auto events = savedEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], std::make_tuple(9, std::string("down"), 0x10, std::string("65535")));
    EXPECT_EQ(std::get<3>(events[1]), "65535");

    // A measured gap past 16 bits saturates instead of wrapping.
    model.StartRecording(DelayMode::Measured, RecordPosition::Append, L"", 0);
    model.RecordKey(kScanA, false, true, 100000);
    model.StopRecording();
    EXPECT_EQ(std::get<3>(savedEvents()[1]), "65535");
}

TEST_F(MacroEditorModelTest, InsertBeforeAfterAndReplaceOne)
{
    model.StartRecording(DelayMode::Zero, RecordPosition::Append, L"", 0);
    model.RecordKey(kScanA, false, true, 0);
    model.RecordKey(kScanA, false, false, 0);
    model.StopRecording();

    // Without a selection the insert modes add nothing.
    model.SelectRow(-1);
    model.StartRecording(DelayMode::Zero, RecordPosition::InsertBefore, L"", 0);
    EXPECT_FALSE(model.RecordKey(kScanB, false, true, 0));

    model.StopRecording();
    model.SelectRow(1);
    model.StartRecording(DelayMode::Zero, RecordPosition::InsertBefore, L"", 0);
    model.RecordKey(kScanB, false, true, 0);
    model.RecordKey(kScanB, false, false, 0);
    model.StopRecording(); // B down, B up now before A up
    model.SelectRow(0);
    model.StartRecording(DelayMode::Zero, RecordPosition::InsertAfter, L"", 0);
    model.RecordMouse(MacroMouseButton::Right, true, false, 0);
    model.RecordMouse(MacroMouseButton::Right, true, false, 0); // same message again
    model.RecordMouse(MacroMouseButton::Left, true, true, 0);   // the stop button click
    model.RecordMouse(MacroMouseButton::Right, false, false, 0);
    model.StopRecording();

    model.SelectRow(5);
    model.StartRecording(DelayMode::Zero, RecordPosition::ReplaceOne, L"", 0);
    model.RecordMouse(MacroMouseButton::Back, true, false, 0);
    model.StopRecording();

    std::vector<std::pair<int, int>> typeAndButton;
    std::vector<std::string> actions;
    for (const auto& [type, action, button, delay] : savedEvents()) {
        typeAndButton.emplace_back(type, button);
        actions.push_back(action);
    }
    EXPECT_EQ(typeAndButton, (std::vector<std::pair<int, int>>{
                                 {10, 4}, {1, 2}, {1, 2}, {10, 5}, {10, 5}, {1, 8}}));
    // Replacing keeps the row's action.
    EXPECT_EQ(actions, (std::vector<std::string>{"down", "down", "up", "down", "up", "up"}));
}

TEST_F(MacroEditorModelTest, HandEditsAreSavedAtOnceAndNeedASelection)
{
    model.InsertClick(MacroMouseButton::Left); // empty list: press and release
    using E = std::tuple<int, std::string, int, std::string>;
    EXPECT_EQ(savedEvents(), (std::vector<E>{{1, "down", 1, "50"}, {1, "up", 1, "50"}}));

    model.InsertMovement(pages::MoveDirection::Up, 300); // after the selected release
    EXPECT_EQ(savedEvents()[2], E(5, "down", 300 & 0xFF, "50"));

    model.SelectRow(-1);
    model.MoveUp();
    model.MoveBottom();
    model.DeleteAction();
    EXPECT_EQ(savedEvents().size(), 3u);

    model.SelectRow(2);
    model.MoveTop();
    EXPECT_EQ(model.selectedRow(), 0);
    EXPECT_EQ(std::get<0>(savedEvents()[0]), 5);
    model.MoveDown();
    EXPECT_EQ(std::get<0>(savedEvents()[1]), 5);
    model.SetRowDelay(1, L"99999");
    EXPECT_EQ(std::get<3>(savedEvents()[1]), "65535");
    model.DeleteAction();
    EXPECT_EQ(savedEvents().size(), 2u);
    model.DeleteAllActions();
    EXPECT_TRUE(savedEvents().empty());
}

TEST_F(MacroEditorModelTest, LibraryLimitAndMacroMemory)
{
    while (!model.atMacroLimit()) {
        ASSERT_FALSE(model.NewMacro().empty());
    }
    EXPECT_EQ(model.names().size(), profile::kMaxMacros);
    EXPECT_TRUE(model.NewMacro().empty());

    // Importing at the limit makes nothing, not a file without an entry.
    model.InsertClick(MacroMouseButton::Left);
    const auto exported = dir / "out.mac";
    ASSERT_TRUE(model.ExportMacro(exported));
    EXPECT_TRUE(model.ImportMacro(exported).empty());
    EXPECT_EQ(model.names().size(), profile::kMaxMacros);

    // Two events: 16 header + 2 offset + 4 record + 8 event bytes.
    const auto use = model.memoryUse({0}, 32);
    EXPECT_EQ(use.needed, 30u);
    EXPECT_TRUE(use.fits());
    EXPECT_FALSE(model.memoryUse({0, 0}, 32).fits());
}

TEST_F(MacroEditorModelTest, NothingWithoutASelectedMacro)
{
    model.SelectMacro(-1);
    model.StartRecording(DelayMode::Zero, RecordPosition::Append, L"", 0);
    EXPECT_FALSE(model.RecordKey(kScanA, false, true, 0));
    EXPECT_FALSE(model.SaveMacro());
    EXPECT_FALSE(model.ExportMacro(dir / "x.mac"));
    EXPECT_EQ(model.DeleteSelectedMacro(), -1);
    EXPECT_EQ(model.RenameSelectedMacro(L"x"), profile::MacroLibrary::RenameResult::NoMacro);
    model.SelectMacro(7); // past the library
    EXPECT_EQ(model.selectedMacro(), -1);
}

} // namespace

namespace {

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Deleting macro 0 of two while keys of two profiles use both.
class MacroDeleteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeBytes(dir / "keyboard.Json", R"({"Device": [{"KeyList": []}]})");
        list.SetPaths(dir / "keyboard", dir / "keyboard.Json");
        list.InitProfiles();
        ASSERT_TRUE(list.AddProfile());
        list.GetProfileCount();
        current = list.GetProfilePath(0);
        other = list.GetProfilePath(1);
        // Macro 0 (default Esc) and macro 1 with repeat count 3.
        otherBytes = R"({"profilename": "profile2", "Device": [{"KeyList": [
            {"Assignment": 7340032, "DefaultAssignment": 2097193},
            {"Assignment": 7405827, "DefaultAssignment": 2097210}]}]})";
        writeBytes(other, otherBytes);
        scratch.SetDefaultPath(dir / "keyboard.Json");
        currentKeys = {{profile::makeCode(0x70, 0, 1), profile::makeCode(0x20, 0, 0x04)},
                       {profile::makeCode(0x70, 1, 0), profile::makeCode(0x20, 0, 0x05)}};

        std::filesystem::create_directories(dir / "macros");
        model.LoadLibrary();
        ASSERT_FALSE(model.NewMacro().empty());
        ASSERT_FALSE(model.NewMacro().empty());
        model.SelectMacro(0);
    }
    std::vector<profile::KeyAssignment> otherKeys()
    {
        profile::CKeyboardProfiledata check;
        check.LoadProfileFile(other);
        return check.LoadKeyList();
    }

    testing_support::TempDir dir;
    profile::ProfileList list;
    profile::CKeyboardProfiledata scratch;
    std::filesystem::path current, other;
    std::string otherBytes;
    std::vector<profile::KeyAssignment> currentKeys;
    pages::MacroEditorModel model{dir / "macros"};
    pages::MacroProfiles profiles{list, scratch, currentKeys, {}};
};

TEST_F(MacroDeleteTest, KeysOfEveryProfileFallBackOrFollowTheirMacro)
{
    profiles.currentPath = current;
    int asked = 0;
    EXPECT_EQ(model.DeleteSelectedMacro(profiles, [&] { return ++asked, true; }),
              pages::MacroDeleteResult::CurrentKeysChanged);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(model.names(), std::vector<std::wstring>{L"macro_2"});
    EXPECT_EQ(currentKeys[0].current, profile::makeCode(0x20, 0, 0x04));
    EXPECT_EQ(currentKeys[1].current, profile::makeCode(0x70, 0, 0));
    const auto keys = otherKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(profile::toInteger(keys[0].current), 2097193);
    EXPECT_EQ(keys[1].current, profile::makeCode(0x71, 0, 3));
}

TEST_F(MacroDeleteTest, DecliningChangesNothingAnywhere)
{
    profiles.currentPath = current;
    EXPECT_EQ(model.DeleteSelectedMacro(profiles, [] { return false; }),
              pages::MacroDeleteResult::NotDeleted);
    EXPECT_EQ(model.names().size(), 2u);
    EXPECT_EQ(currentKeys[0].current, profile::makeCode(0x70, 0, 1));
    std::ifstream in(other, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), otherBytes);
}

TEST_F(MacroDeleteTest, AnUnwritableLibraryRenumbersNoProfile)
{
    profiles.currentPath = current;
    // The index turns unreadable behind the editor's back: the delete must not go ahead.
    std::filesystem::remove(model.library().indexPath());
    std::filesystem::create_directory(model.library().indexPath());
    EXPECT_EQ(model.DeleteSelectedMacro(profiles, [] { return true; }),
              pages::MacroDeleteResult::NotDeleted);
    EXPECT_EQ(otherKeys()[1].current, profile::makeCode(0x71, 1, 3));
    EXPECT_EQ(currentKeys[1].current, profile::makeCode(0x70, 1, 0));
}

} // namespace
