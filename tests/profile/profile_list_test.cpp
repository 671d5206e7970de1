#include "platform/text.h"
#include "profile/json_access.h"
#include "profile/profile_list.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

using namespace profile;
using testing_support::TempDir;
using Names = std::vector<std::wstring>;

namespace {

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A keyboard's data folder (not yet created) beside a factory file.
class ProfileListTest : public ::testing::Test {
protected:
    ProfileListTest()
    {
        writeBytes(root / "keyboard.Json",
                   R"({"profilename": "factory", "Device": [{"LightInfo": {"Red": 9}}]})");
        list.SetPaths(folder(), root / "keyboard.Json");
    }
    std::filesystem::path folder() const { return root / "data" / "keyboard"; }
    Json::Value listFile() const { return CJsonFile().ReadJson(folder() / "ProfileList.ini"); }
    Json::Value profileOf(int index)
    {
        list.GetProfileCount();
        return CJsonFile().ReadJson(list.GetProfilePath(index));
    }
    std::string nameIn(const Json::Value& document)
    {
        return json::readString(json::member(document, "profilename"));
    }
    int storedSelection() const { return json::readInt(json::member(listFile(), "profileselect")); }

    TempDir root;
    ProfileList list;
};

} // namespace

TEST_F(ProfileListTest, FirstStartCreatesProfile1FromFactoryData)
{
    list.InitProfiles();
    EXPECT_EQ(list.names(), Names{L"profile1"});
    EXPECT_EQ(list.GetSelectedIndex(), 0);
    EXPECT_EQ(storedSelection(), 0);
    const Json::Value profile = profileOf(0);
    EXPECT_EQ(nameIn(profile), "profile1");
    EXPECT_EQ(json::readText(json::member(profile, "profileUUID")), list.GetCurrentProfileId());
    EXPECT_FALSE(json::member(profile, "Device").isNull());
    const Json::Value stored = listFile();
    const Json::Value& entry = json::member(stored, "profilelist")[0];
    EXPECT_EQ(json::readString(json::member(entry, "profilelinkmame")), "");
    EXPECT_TRUE(json::member(entry, "profileislink").isInt());
}

TEST_F(ProfileListTest, NewNamesAvoidExistingOnesWhateverTheirCase)
{
    list.InitProfiles();
    ASSERT_TRUE(list.AddProfile());
    list.SelectProfile(1);
    ASSERT_EQ(list.RenameProfile(L"Profile2"), ProfileList::Renamed);
    ASSERT_TRUE(list.AddProfile());
    EXPECT_EQ(list.names(), (Names{L"profile1", L"Profile2", L"profile3"}));
    // The stored selection names the new profile; the display stays where it was.
    EXPECT_EQ(storedSelection(), 2);
    EXPECT_EQ(list.GetSelectedIndex(), 1);

    ASSERT_EQ(list.RenameProfile(L"A"), ProfileList::Renamed);
    ASSERT_TRUE(list.CopyProfile());
    ASSERT_TRUE(list.CopyProfile());
    EXPECT_EQ(list.names()[4], L"A copy copy");
    EXPECT_EQ(nameIn(profileOf(4)), "A copy copy");
    EXPECT_EQ(json::readInt(json::member(
                  json::member(json::member(profileOf(4), "Device")[0], "LightInfo"), "Red")),
              9);

    writeBytes(root / "My.json", R"({"profilename": "other", "profileUUID": "x", "keep": 1})");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(list.ImportProfile(root / "My.json"));
    EXPECT_EQ(list.names().back(), L"My(1)(2)");
    const Json::Value imported = profileOf(7);
    EXPECT_EQ(nameIn(imported), "My(1)(2)");
    EXPECT_EQ(json::readInt(json::member(imported, "keep")), 1);
    EXPECT_NE(json::readString(json::member(imported, "profileUUID")), "x");
    EXPECT_EQ(storedSelection(), 2); // copies and imports leave it
}

TEST_F(ProfileListTest, RenameRefusesBlankAndTakenNames)
{
    list.InitProfiles();
    ASSERT_TRUE(list.AddProfile());
    list.SelectProfile(0);
    ASSERT_EQ(list.RenameProfile(L"abc"), ProfileList::Renamed);
    EXPECT_EQ(list.RenameProfile(L"   "), ProfileList::NameBlank);
    EXPECT_EQ(list.RenameProfile(L"ABC"), ProfileList::Renamed);
    EXPECT_EQ(list.RenameProfile(L"PROFILE2"), ProfileList::NameTaken);
    EXPECT_EQ(list.names()[0], L"ABC");
    EXPECT_EQ(nameIn(profileOf(0)), "ABC");
}

TEST_F(ProfileListTest, DeletingStoresTheNewSelectionAndKeepsTheLastProfile)
{
    list.InitProfiles();
    ASSERT_TRUE(list.AddProfile());
    ASSERT_TRUE(list.AddProfile());
    list.GetProfileCount();
    const auto firstFile = list.GetProfilePath(0);
    list.SelectProfile(0);
    ASSERT_TRUE(list.DeleteProfile());
    EXPECT_EQ(storedSelection(), 0);
    EXPECT_FALSE(std::filesystem::exists(firstFile));
    EXPECT_EQ(list.GetSelectedIndex(), -1); // the panel selects nothing itself
    EXPECT_FALSE(list.DeleteProfile());
    ASSERT_TRUE(list.AddProfile());
    list.SelectProfile(2);
    ASSERT_TRUE(list.DeleteProfile());
    EXPECT_EQ(storedSelection(), 1);
    list.SelectProfile(0);
    ASSERT_TRUE(list.DeleteProfile());
    list.SelectProfile(0);
    EXPECT_FALSE(list.DeleteProfile());
    EXPECT_EQ(list.names().size(), 1u);
}

TEST_F(ProfileListTest, AddingStopsAt50ButCopyAndImportDoNot)
{
    list.InitProfiles();
    while (list.AddProfile()) {
    }
    EXPECT_EQ(list.names().size(), 50u);
    EXPECT_TRUE(list.CopyProfile());
    writeBytes(root / "In.json", R"({"profilename": "a", "profileUUID": "b"})");
    EXPECT_TRUE(list.ImportProfile(root / "In.json"));
    EXPECT_EQ(list.GetProfileCount(), 52);
    // Made within a few milliseconds, every profile still has its own file.
    std::set<std::filesystem::path> files;
    for (int i = 0; i < 52; ++i)
        files.insert(list.GetProfilePath(i));
    EXPECT_EQ(files.size(), 52u);
}

TEST_F(ProfileListTest, DamagedListIsKeptAsideAndAnUnreadableOneIsLeftAlone)
{
    std::filesystem::create_directories(folder());
    writeBytes(folder() / "ProfileList.ini", "{\"profilelist\": [");
    list.InitProfiles();
    EXPECT_EQ(list.names(), Names{L"profile1"});
    EXPECT_EQ(fileBytes(folder() / "ProfileList.ini.corrupt"), "{\"profilelist\": [");

    ProfileList other;
    TempDir root2;
    std::filesystem::create_directories(root2 / "ProfileList.ini");
    other.SetPaths(root2.path(), root / "keyboard.Json");
    other.InitProfiles();
    // No stand-in "profile1": a device working from it would make a file per change.
    EXPECT_FALSE(other.isReadable());
    EXPECT_TRUE(other.names().empty());
    EXPECT_TRUE(other.GetCurrentProfileId().empty());
    EXPECT_FALSE(other.AddProfile());
    EXPECT_EQ(other.lastRefusal(), ProfileList::Refusal::ListUnreadable);
    EXPECT_FALSE(other.CopyProfile());
    EXPECT_FALSE(other.ResetProfile());
    EXPECT_FALSE(other.DeleteProfile());
    EXPECT_EQ(other.lastRefusal(), ProfileList::Refusal::ListUnreadable);
    EXPECT_EQ(other.RenameProfile(L"x"), ProfileList::NotRenamed);
    EXPECT_EQ(other.lastRefusal(), ProfileList::Refusal::ListUnreadable);
    EXPECT_TRUE(std::filesystem::is_directory(root2 / "ProfileList.ini"));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(root2.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(ProfileListTest, HostileListEntriesNeverNameFilesOutsideTheFolder)
{
    std::filesystem::create_directories(folder());
    writeBytes(root / "victim.Json", "{}");
    writeBytes(folder() / "ProfileList.ini", R"({"profileselect": 9, "profilelist": [
        {"profilename": "a", "profileUUID": "../../victim"}, {"profilename": 5}]})");
    list.InitProfiles();
    EXPECT_EQ(list.GetSelectedIndex(), 0); // out-of-range selection falls back to 0
    EXPECT_EQ(list.names(), (Names{L"a", L""}));
    EXPECT_TRUE(list.GetProfilePath(0).empty());
    EXPECT_FALSE(list.ResetProfile());
    ASSERT_TRUE(list.DeleteProfile());
    EXPECT_TRUE(std::filesystem::exists(root / "victim.Json"));
}

TEST_F(ProfileListTest, ResetKeepsNameAndIdAndExportWritesTheProfile)
{
    list.InitProfiles();
    ASSERT_EQ(list.RenameProfile(L"mine"), ProfileList::Renamed);
    list.GetProfileCount();
    writeBytes(list.GetProfilePath(0), R"({"profilename": "mine", "profileUUID": "x",
        "Device": [{"LightInfo": {"Red": 1}}]})");
    ASSERT_TRUE(list.ResetProfile());
    const Json::Value reset = profileOf(0);
    EXPECT_EQ(nameIn(reset), "mine");
    EXPECT_EQ(json::readText(json::member(reset, "profileUUID")), list.GetCurrentProfileId());
    ASSERT_TRUE(list.ExportProfile(root / "out.json"));
    EXPECT_EQ(CJsonFile().ReadJson(root / "out.json"), reset);
}

TEST_F(ProfileListTest, NewEntriesNeverOverwriteEntriesTheDisplayDoesNotKnow)
{
    list.InitProfiles();
    // An entry appears in the file that the display list never saw.
    Json::Value stored = listFile();
    Json::Value stray;
    stray["profilename"] = "stray";
    stray["profileUUID"] = "2020_01_01_00_00_00_000";
    stored["profilelist"].append(stray);
    ASSERT_EQ(CJsonFile().WriteJson(folder() / "ProfileList.ini", stored), 0);
    ASSERT_TRUE(list.AddProfile());
    const Json::Value after = listFile();
    const Json::Value& entries = json::member(after, "profilelist");
    ASSERT_EQ(json::arraySize(entries), 3u);
    EXPECT_EQ(nameIn(entries[1]), "stray");
    EXPECT_EQ(nameIn(entries[2]), "profile2");
    EXPECT_EQ(json::readInt(json::member(after, "profileselect")), 2);
}

TEST_F(ProfileListTest, AListThatIsNotAnObjectIsKeptAside)
{
    std::filesystem::create_directories(folder());
    writeBytes(folder() / "ProfileList.ini", "[1, 2, 3]");
    list.InitProfiles();
    EXPECT_EQ(list.names(), Names{L"profile1"});
    EXPECT_EQ(fileBytes(folder() / "ProfileList.ini.corrupt"), "[1, 2, 3]");
}

TEST_F(ProfileListTest, ASelectionOutsideTheListSelectsTheFirstNotItsLowBits)
{
    std::filesystem::create_directories(folder());
    writeBytes(folder() / "ProfileList.ini", R"({"profileselect": 4294967297, "profilelist": [
        {"profilename": "a", "profileUUID": "1"}, {"profilename": "b", "profileUUID": "2"}]})");
    list.InitProfiles();
    EXPECT_EQ(list.GetSelectedIndex(), 0);
    EXPECT_EQ(list.GetCurrentProfileId(), L"1");
}

TEST_F(ProfileListTest, AnImportTooLargeToReadBackIsRefusedBeforeAnythingIsStored)
{
    list.InitProfiles();
    // Half a megabyte of numbers thirty arrays deep: each becomes a line of its own,
    // indented ninety spaces, when written; far past what any file may hold.
    std::string text =
        R"({"profilename": "x", "profileUUID": "y", "Device": )" + std::string(30, '[') + "0";
    for (int i = 0; i < 200'000; ++i)
        text += ",0";
    text += std::string(30, ']') + "}";
    writeBytes(root / "Big.json", text);
    const auto before = listFile();

    EXPECT_FALSE(list.ImportProfile(root / "Big.json"));
    EXPECT_EQ(list.lastRefusal(), ProfileList::Refusal::TooLarge);
    EXPECT_EQ(list.names(), Names{L"profile1"});
    EXPECT_EQ(listFile(), before);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder()))
        ++files;
    EXPECT_EQ(files, 2u); // the list and profile1
    // Later changes still work.
    EXPECT_TRUE(list.AddProfile());
}

TEST_F(ProfileListTest, ImportsAreStoredCleanUnderANameTheWindowAllows)
{
    list.InitProfiles();
    const std::string title(80, 'n');
    const std::string document = "{\"profilename\": \"a\xff\", \"profileUUID\": \"../../x\", "
                                 "\"Note\": \"\xc3\"}";
    writeBytes(root / (title + ".json"), document + std::string("\0trailing", 9));
    ASSERT_TRUE(list.ImportProfile(root / (title + ".json")));
    EXPECT_EQ(list.names().back(), std::wstring(kMaxProfileNameLength, L'n'));
    const Json::Value stored = profileOf(1);
    EXPECT_EQ(json::readString(json::member(stored, "Note")), "\xef\xbf\xbd");
    EXPECT_TRUE(isTimestampId(json::readString(json::member(stored, "profileUUID"))));
    // A second import of the same title stays within the limit too.
    ASSERT_TRUE(list.ImportProfile(root / (title + ".json")));
    EXPECT_EQ(list.names().back(), std::wstring(kMaxProfileNameLength - 3, L'n') + L"(1)");
}

TEST_F(ProfileListTest, AFileNoEntryNamesIsRecoveredAtTheEndWhenTheFolderIsOpened)
{
    list.InitProfiles();
    ASSERT_TRUE(list.AddProfile());
    list.SelectProfile(1);
    ASSERT_EQ(list.RenameProfile(L"mine"), ProfileList::Renamed);
    list.GetProfileCount();
    const auto file = list.GetProfilePath(1);
    const std::string bytes = fileBytes(file);
    ASSERT_TRUE(list.DeleteProfile());
    // As if the delete was killed between writing the list and removing the file.
    writeBytes(file, bytes);
    // Files the program did not name stay out of the list.
    writeBytes(folder() / "copy of mine.Json", bytes);

    ProfileList reopened;
    reopened.SetPaths(folder(), root / "keyboard.Json");
    reopened.InitProfiles();
    EXPECT_EQ(reopened.names(), (Names{L"profile1", L"mine"}));
    reopened.GetProfileCount();
    EXPECT_EQ(reopened.GetProfilePath(1), file);
    EXPECT_EQ(json::arraySize(json::member(listFile(), "profilelist")), 2u);
}

TEST_F(ProfileListTest, ARenameCutShortIsFinishedWhenTheFolderIsOpened)
{
    list.InitProfiles();
    const std::string id = platform::toUtf8(list.GetCurrentProfileId());
    // As a kill leaves it: the note written, the profile file renamed, the list not yet.
    writeBytes(folder() / kRenameNoteFileName,
               R"({"profileUUID": ")" + id + R"(", "profilename": "new name"})");
    list.GetProfileCount();
    Json::Value profile = CJsonFile().ReadJson(list.GetProfilePath(0));
    profile["profilename"] = "new name";
    ASSERT_EQ(CJsonFile().WriteJson(list.GetProfilePath(0), profile), 0);
    // And a temporary file of a write killed long ago.
    const auto leftover = folder() / ".ProfileList.ini.tmp-99-3";
    writeBytes(leftover, "{");
    std::filesystem::last_write_time(leftover, std::filesystem::file_time_type::clock::now() -
                                                   std::chrono::minutes(5));

    ProfileList reopened;
    reopened.SetPaths(folder(), root / "keyboard.Json");
    reopened.InitProfiles();
    EXPECT_EQ(reopened.names(), Names{L"new name"});
    EXPECT_EQ(nameIn(json::member(listFile(), "profilelist")[0]), "new name");
    EXPECT_FALSE(std::filesystem::exists(folder() / kRenameNoteFileName));
    EXPECT_FALSE(std::filesystem::exists(leftover));
}

TEST_F(ProfileListTest, AHeadsetProfileThatCannotBeReadIsNotResetOverItsCurves)
{
    list.SetDeviceKind(kHeadsetDeviceKind);
    list.InitProfiles();
    list.GetProfileCount();
    // Past the read bound: it exists, but its equaliser curves cannot be carried over.
    const std::string big =
        R"({"Device": [{"CustomEQNameInfo": [")" + std::string(kMaxJsonFileSize, 'x') + R"("]}]})";
    writeBytes(list.GetProfilePath(0), big);
    EXPECT_FALSE(list.ResetProfile());
    EXPECT_EQ(list.lastRefusal(), ProfileList::Refusal::NotWritten);
    EXPECT_EQ(std::filesystem::file_size(list.GetProfilePath(0)), big.size());
}

TEST_F(ProfileListTest, AProfileFileTooLargeToReadIsSetAsideAndTheListStillWorks)
{
    list.InitProfiles();
    ASSERT_TRUE(list.AddProfile());
    list.GetProfileCount();
    const auto big = list.GetProfilePath(0);
    const auto writeBig = [&big] {
        std::ofstream out(big, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(kMaxJsonFileSize));
        out.put('}');
    };
    writeBig();
    std::filesystem::path aside = big;
    aside += ".toolarge";

    ProfileList reopened;
    reopened.SetPaths(folder(), root / "keyboard.Json");
    reopened.InitProfiles();
    EXPECT_EQ(reopened.names(), (Names{L"profile1", L"profile2"}));
    EXPECT_EQ(std::filesystem::file_size(aside), kMaxJsonFileSize + 1);
    ASSERT_EQ(reopened.setAsideNotices().size(), 1u);
    EXPECT_NE(reopened.setAsideNotices()[0].find(aside.string()), std::string::npos);
    // Its entry has the factory profile under its own name and ID again.
    const Json::Value fresh = CJsonFile().ReadJson(big);
    EXPECT_EQ(nameIn(fresh), "profile1");
    EXPECT_EQ(json::member(fresh, "Device")[0]["LightInfo"]["Red"].asInt(), 9);
    // The orphan scan must not take the kept file back in.
    ProfileList again;
    again.SetPaths(folder(), root / "keyboard.Json");
    again.InitProfiles();
    EXPECT_EQ(again.names(), (Names{L"profile1", L"profile2"}));
    EXPECT_TRUE(again.setAsideNotices().empty());

    // Grown past the bound while open: a keyboard reset keeps it aside, then resets.
    writeBig();
    again.SelectProfile(0);
    ASSERT_TRUE(again.ResetProfile());
    std::filesystem::path secondAside = big;
    secondAside += ".toolarge1";
    EXPECT_EQ(std::filesystem::file_size(secondAside), kMaxJsonFileSize + 1);
    EXPECT_EQ(nameIn(CJsonFile().ReadJson(big)), "profile1");
    ASSERT_TRUE(again.DeleteProfile());
    EXPECT_EQ(again.names(), Names{L"profile2"});
}

TEST_F(ProfileListTest, AListFileTooLargeToReadIsSetAsideAndItsProfilesComeBack)
{
    list.InitProfiles();
    ASSERT_TRUE(list.AddProfile());
    list.SelectProfile(1);
    ASSERT_EQ(list.RenameProfile(L"mine"), ProfileList::Renamed);
    const auto listPath = folder() / "ProfileList.ini";
    {
        std::ofstream out(listPath, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(kMaxJsonFileSize));
        out.put('}');
    }
    std::filesystem::path aside = listPath;
    aside += ".toolarge";

    ProfileList reopened;
    reopened.SetPaths(folder(), root / "keyboard.Json");
    reopened.InitProfiles();
    EXPECT_EQ(std::filesystem::file_size(aside), kMaxJsonFileSize + 1);
    ASSERT_FALSE(reopened.setAsideNotices().empty());
    EXPECT_NE(reopened.setAsideNotices()[0].find(aside.string()), std::string::npos);
    // A fresh list, with both stored profiles taken back in under their names.
    const std::set<std::wstring> names(reopened.names().begin(), reopened.names().end());
    EXPECT_TRUE(names.count(L"mine"));
    EXPECT_GE(names.size(), 2u);
    EXPECT_TRUE(reopened.AddProfile());
    EXPECT_EQ(reopened.lastRefusal(), ProfileList::Refusal::None);
}
