#include "pages/models/profile_panel_model.h"

#include "pages/models/key_map_write.h"
#include "profile/macro_library.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

using pages::PanelMessage;
using pages::PanelTab;
using pages::ProfilePanelModel;
namespace fs = std::filesystem;

namespace {

class ProfilePanelTest : public ::testing::Test {
protected:
    ProfilePanelTest()
    {
        std::ofstream(root / "keyboard.Json") << R"({"Device": [{"LightInfo": {"Red": 9}}]})";
    }
    fs::path folder() const { return root / "keyboard"; }

    testing_support::TempDir root;
    ProfilePanelModel panel{detect::DeviceKind::Keyboard, root / "keyboard",
                            root / "keyboard.Json"};
};

std::wstring_view idOf(const pages::PanelOutcome& outcome)
{
    return outcome.message ? outcome.message->textId : std::wstring_view();
}

} // namespace

TEST_F(ProfilePanelTest, CommandsKeepTheComboAndNameEditInStep)
{
    EXPECT_FALSE(panel.initialize());
    EXPECT_EQ(panel.items(), std::vector<std::wstring>{L"profile1"});
    EXPECT_EQ(panel.nameText(), L"profile1");
    EXPECT_TRUE(panel.add().listChanged);
    EXPECT_TRUE(panel.copy().listChanged);
    EXPECT_EQ(panel.items(),
              (std::vector<std::wstring>{L"profile1", L"profile2", L"profile1 copy"}));
    EXPECT_EQ(panel.storedSelection(), 1); // add stores the new one; the display stays
    EXPECT_EQ(panel.selectedIndex(), 0);

    const auto switched = panel.select(2);
    EXPECT_TRUE(switched.reloadDevice);
    EXPECT_EQ(panel.nameText(), L"profile1 copy");
    EXPECT_EQ(panel.storedSelection(), 2);
    EXPECT_TRUE(panel.reset().reloadDevice);
}

TEST_F(ProfilePanelTest, EveryRefusalHasItsMessage)
{
    ASSERT_FALSE(panel.initialize());
    EXPECT_FALSE(panel.rename(L"").message); // an empty edit does nothing, silently
    EXPECT_EQ(idOf(panel.rename(L"  ")), L"message_text_25");
    ASSERT_FALSE(panel.add().message);
    EXPECT_EQ(idOf(panel.rename(L"PROFILE2")), L"message_text_5");
    EXPECT_EQ(idOf(panel.remove()), L"");
    EXPECT_EQ(idOf(panel.remove()), L"profile_last_text");

    std::ofstream(root / "not-a-profile.json") << R"({"profilename": "x"})";
    EXPECT_EQ(idOf(panel.importFrom(root / "not-a-profile.json")), L"profile_import_invalid_text");
    std::ofstream(root / "nested.json") << std::string(5000, '[') << std::string(5000, ']');
    EXPECT_EQ(idOf(panel.importFrom(root / "nested.json")), L"profile_import_invalid_text");
    std::ofstream(root / "huge.json") << "{";
    fs::resize_file(root / "huge.json", 50 * 1024 * 1024); // sparse: cheap to make
    EXPECT_EQ(idOf(panel.importFrom(root / "huge.json")), L"profile_import_too_large_text");
    std::ofstream(root / "escape.json") << R"({"profilename": "x", "profileUUID": "../../x"})";
    EXPECT_FALSE(panel.importFrom(root / "escape.json").message);
    EXPECT_EQ(panel.items().back(), L"escape"); // a new ID, never the file's own
    EXPECT_FALSE(fs::exists(root / "x.Json"));
    for (int i = static_cast<int>(panel.items().size()); i < 50; ++i)
        ASSERT_FALSE(panel.add().message);
    EXPECT_EQ(idOf(panel.add()), L"profile_limit_text");
}

TEST_F(ProfilePanelTest, DeletingTheShownProfileShowsTheOneTheListSelects)
{
    ASSERT_FALSE(panel.initialize());
    ASSERT_FALSE(panel.add().message);
    ASSERT_FALSE(panel.add().message);
    ASSERT_TRUE(panel.select(1).reloadDevice);
    const fs::path shownFile = folder() / (panel.currentProfileId() + L".Json");
    ASSERT_TRUE(fs::exists(shownFile));

    const auto question = panel.removeQuestion();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->fill(L"Delete \"%s\"?"), L"Delete \"profile2\"?");
    const auto outcome = panel.remove();
    EXPECT_TRUE(outcome.listChanged);
    EXPECT_TRUE(outcome.reloadDevice); // the device loads what the panel now shows
    EXPECT_FALSE(fs::exists(shownFile));
    EXPECT_EQ(panel.items(), (std::vector<std::wstring>{L"profile1", L"profile3"}));
    // The combo, the name and the device's profile all name one listed profile.
    EXPECT_EQ(panel.selectedIndex(), panel.storedSelection());
    EXPECT_EQ(panel.nameText(), L"profile1");
    EXPECT_TRUE(fs::exists(folder() / (panel.currentProfileId() + L".Json")));

    ASSERT_TRUE(panel.select(0).reloadDevice);
    EXPECT_EQ(idOf(panel.remove()), L"");
    EXPECT_FALSE(panel.removeQuestion()); // the last profile: nothing to ask, remove says why
    EXPECT_EQ(idOf(panel.remove()), L"profile_last_text");
}

// `other` plays halvekctl: a second program changing the same folder.
TEST_F(ProfilePanelTest, AnotherProgramsRenameAndDeleteAreFollowedNeverWrittenOver)
{
    ASSERT_FALSE(panel.initialize());
    ASSERT_FALSE(panel.add().message);
    ASSERT_FALSE(panel.add().message);
    panel.select(2);
    const std::wstring shownId = panel.currentProfileId();
    EXPECT_FALSE(panel.followExternalChanges().listChanged); // nothing happened yet

    ProfilePanelModel other{detect::DeviceKind::Keyboard, folder(), root / "keyboard.Json"};
    ASSERT_FALSE(other.initialize());
    other.select(0);
    ASSERT_FALSE(other.remove().message); // profile1 goes: the shown profile moves up one
    // Even before noticing, a rename lands on the shown profile, not on its new neighbour.
    ASSERT_FALSE(panel.rename(L"Evening").message);
    other.initialize();
    EXPECT_EQ(other.items(), (std::vector<std::wstring>{L"profile2", L"Evening"}));
    EXPECT_EQ(panel.currentProfileId(), shownId);

    other.select(0);
    ASSERT_FALSE(other.rename(L"Morning").message);
    const auto renamed = panel.followExternalChanges();
    EXPECT_TRUE(renamed.listChanged);
    EXPECT_FALSE(renamed.reloadDevice);
    EXPECT_EQ(panel.items(), (std::vector<std::wstring>{L"Morning", L"Evening"}));
    EXPECT_EQ(panel.nameText(), L"Evening");

    other.select(1);
    ASSERT_FALSE(other.remove().message); // the shown profile itself goes
    const auto moved = panel.followExternalChanges();
    EXPECT_TRUE(moved.reloadDevice);
    ASSERT_TRUE(moved.message);
    EXPECT_EQ(moved.message->textId, L"profile_gone_text");
    EXPECT_EQ(moved.message->name, L"Morning");
    EXPECT_EQ(panel.nameText(), L"Morning");
    EXPECT_NE(panel.currentProfileId(), shownId);
    EXPECT_TRUE(fs::exists(folder() / (panel.currentProfileId() + L".Json")));
}

TEST_F(ProfilePanelTest, AnUnreadableListIsReportedAndChangesNothing)
{
    fs::create_directories(folder() / "ProfileList.ini"); // exists, cannot be read as a file
    const auto problem = panel.initialize();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->textId, L"profile_list_unreadable_text");
    EXPECT_TRUE(panel.items().empty());
    EXPECT_TRUE(panel.currentProfileId().empty());
    EXPECT_EQ(idOf(panel.add()), L"profile_list_unreadable_text");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 1);
}

TEST(PanelMessage, NumbersAreSubstitutedNeverFormatted)
{
    pages::KeyMapWrite tooLong;
    tooLong.macros = pages::MacroBlock::DoNotFit;
    tooLong.overflow = 3;
    const PanelMessage overflow = tooLong.message().value();
    EXPECT_EQ(overflow.textId, L"message_text_16");
    // A translation with other conversions stays as written around the first "%d".
    EXPECT_EQ(overflow.fill(L"%s %n %d then %d, 100%%"), L"%s %n 3 then %d, 100%");
}

TEST(PanelTabs, EachDeviceKindHidesItsTabsAndSelectionMarksOne)
{
    const auto pad = ProfilePanelModel::tabVisibility(detect::DeviceKind::MousePad);
    for (PanelTab tab : {PanelTab::Cursor, PanelTab::Macro, PanelTab::System, PanelTab::Keys})
        EXPECT_EQ(pad[static_cast<std::size_t>(tab)], false);
    EXPECT_EQ(pad[static_cast<std::size_t>(PanelTab::Lighting)], std::nullopt);
    const auto keyboard = ProfilePanelModel::tabVisibility(detect::DeviceKind::Keyboard);
    EXPECT_EQ(std::count(keyboard.begin(), keyboard.end(), false), 1);
    EXPECT_EQ(ProfilePanelModel::tabVisibility(
                  detect::DeviceKind::Headset)[static_cast<std::size_t>(PanelTab::Surround)],
              true);

    const auto keys = ProfilePanelModel::tabSelection(2);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), true), 1);
    EXPECT_EQ(keys[1], true);
    const auto other = ProfilePanelModel::tabSelection(9);
    EXPECT_EQ(other[static_cast<std::size_t>(PanelTab::Surround)], std::nullopt);
    EXPECT_EQ(other[0], false);
}

TEST(PanelTabs, StoredDeviceKindKeepsTheNumbersExistingFoldersUse)
{
    // The device tables' cable rows carry the numbers the panel was given before kinds were
    // an enum; every kind must still reach the same list, tabs and macro index file.
    for (const detect::DeviceType& type : detect::deviceTypes()) {
        SCOPED_TRACE(static_cast<int>(type.kindValue));
        EXPECT_EQ(pages::storedDeviceKind(type.kindValue), static_cast<int>(type.typeId));
    }
    EXPECT_STREQ(profile::macroIndexFileName(pages::storedDeviceKind(detect::DeviceKind::Keyboard)),
                 profile::macroIndexFileName(1));
    EXPECT_STRNE(profile::macroIndexFileName(pages::storedDeviceKind(detect::DeviceKind::Headset)),
                 profile::macroIndexFileName(1));
    EXPECT_STRNE(profile::macroIndexFileName(pages::storedDeviceKind(detect::DeviceKind::MousePad)),
                 profile::macroIndexFileName(2));
}
