// Stored files that cannot be used (damaged, or a FIFO in their place) and writes that cannot
// be made (a full disk): what the user is told must be what happened, and nothing stored is
// lost or quietly replaced.
#include "profile/json_access.h"
#include "profile/keyboard_profile_data.h"
#include "profile/macro_library.h"
#include "profile/profile_list.h"
#include "profile/stored_notices.h"

#include "platform/text.h"

#include "support/full_disk.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace profile;
using testing_support::TempDir;
using Names = std::vector<std::wstring>;
namespace fs = std::filesystem;

namespace {

void writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string nameIn(const fs::path& profileFile)
{
    return json::readString(json::member(CJsonFile().ReadJson(profileFile), "profilename"));
}

// A keyboard's folder as a user leaves it: profiles "alpha" and "beta", macros "macro_1" and
// "keep" with one event each, beside a factory file.
class StoredFolder {
public:
    explicit StoredFolder(std::size_t factoryPadding = 0, int extraProfiles = 0)
    {
        writeBytes(factory(), R"({"Device": [{"LightInfo": {"Red": 9}}], "Pad": ")" +
                                  std::string(factoryPadding, 'x') + "\"}");
        ProfileList list = profiles();
        list.InitProfiles();
        EXPECT_EQ(list.RenameProfile(L"alpha"), ProfileList::Renamed);
        EXPECT_TRUE(list.AddProfile());
        list.SelectProfile(1);
        EXPECT_EQ(list.RenameProfile(L"beta"), ProfileList::Renamed);
        for (int i = 0; i < extraProfiles; ++i)
            EXPECT_TRUE(list.AddProfile());
        MacroLibrary library(folder());
        library.Load();
        for (const wchar_t* name : {L"macro_1", L"keep"}) {
            const std::wstring made = library.NewMacro();
            const int index = library.find(made);
            if (made != name) {
                EXPECT_EQ(library.RenameMacro(index, name), MacroLibrary::RenameResult::Renamed);
            }
            EXPECT_TRUE(library.SaveMacro(index, {{R"({"Type": 10})", L"7"}}));
        }
        (void)takeStoredFileNotices(); // what other tests left untold is not this folder's
    }

    fs::path folder() const { return m_root / "keyboard"; }
    fs::path factory() const { return m_root / "keyboard.Json"; }
    ProfileList profiles() const
    {
        ProfileList list;
        list.SetPaths(folder(), factory());
        return list;
    }
    fs::path profileFile(int index) const
    {
        ProfileList list = profiles();
        list.GetProfileCount();
        return list.GetProfilePath(index);
    }

private:
    TempDir m_root;
};

enum class Damage { Garbage, Fifo };
constexpr const char* kGarbage = "{\"profilelist\": [\xff\xfe";

// Puts the damage in the file's place.
void damage(const fs::path& file, Damage how)
{
    fs::remove(file);
    if (how == Damage::Garbage)
        writeBytes(file, kGarbage);
    else
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0) << file;
}

} // namespace

TEST(DamagedStoredFiles, AreKeptAsideWhatRemainsIsRebuiltAndTheUserIsTold)
{
    using Kind = StoredFileNotice::Kind;
    enum class File { ProfileList, ProfileListAlone, MacroIndex, Macro, Profile };
    struct Case {
        const char* what;
        File file;
        Kind told;
    };
    const Case cases[] = {
        {"profile list", File::ProfileList, Kind::ProfileListRebuilt},
        {"profile list without profiles", File::ProfileListAlone, Kind::ProfileListRestarted},
        {"macro list", File::MacroIndex, Kind::MacroListRebuilt},
        {"macro", File::Macro, Kind::MacroEmptied},
        {"profile", File::Profile, Kind::ProfileReset},
    };
    for (const Case& c : cases) {
        for (const Damage how : {Damage::Garbage, Damage::Fifo}) {
            const std::string what =
                std::string(c.what) + (how == Damage::Fifo ? " as a FIFO" : " of garbage");
            SCOPED_TRACE(what);
            StoredFolder stored;
            ProfileList list = stored.profiles();
            MacroLibrary library(stored.folder());
            fs::path file;
            switch (c.file) {
            case File::ProfileListAlone:
                fs::remove(stored.profileFile(0));
                fs::remove(stored.profileFile(1));
                [[fallthrough]];
            case File::ProfileList: {
                file = list.listPath();
                damage(file, how);
                list.InitProfiles();
                // The user's own profiles come back, none made in their place.
                const Names expected =
                    c.file == File::ProfileList ? Names{L"alpha", L"beta"} : Names{L"profile1"};
                EXPECT_EQ(list.names(), expected);
                EXPECT_EQ(list.GetSelectedIndex(), 0);
                EXPECT_EQ(readJsonDocument(file).state, ReadState::Ok);
                break;
            }
            case File::MacroIndex:
                file = library.indexPath();
                damage(file, how);
                library.Load();
                // In the order they were made, as keys use them; no second "macro_1".
                EXPECT_EQ(library.names(), (Names{L"macro_1", L"keep"}));
                EXPECT_EQ(library.LoadEvents(1).size(), 1u);
                EXPECT_EQ(library.NewMacro(), L"macro_2");
                break;
            case File::Macro:
                library.Load();
                file = library.macroPath(0);
                damage(file, how);
                EXPECT_TRUE(library.LoadMacro(0)->empty());
                EXPECT_FALSE(fs::exists(fs::symlink_status(file))) << "starts empty: no file";
                EXPECT_EQ(library.LoadEvents(1).size(), 1u);
                break;
            case File::Profile: {
                file = stored.profileFile(1);
                damage(file, how);
                CKeyboardProfiledata record;
                record.SetDefaultPath(stored.factory());
                const Json::Value loaded = record.LoadProfileFile(file);
                EXPECT_EQ(json::member(json::member(loaded, "LightInfo"), "Red").asInt(), 9);
                EXPECT_EQ(readJsonDocument(file).state, ReadState::Ok);
                break;
            }
            }
            const std::vector<StoredFileNotice> told = takeStoredFileNotices();
            ASSERT_EQ(told.size(), 1u);
            EXPECT_EQ(told[0].kind, c.told);
            fs::path keptAs = file;
            keptAs += ".corrupt";
            EXPECT_EQ(told[0].keptAs, keptAs);
            EXPECT_NE(told[0].text.find(file.string()), std::string::npos) << told[0].text;
            EXPECT_NE(told[0].text.find(keptAs.string()), std::string::npos) << told[0].text;
            if (how == Damage::Garbage) {
                EXPECT_EQ(fileBytes(keptAs), kGarbage);
                EXPECT_EQ(fs::status(keptAs).permissions(),
                          fs::perms::owner_read | fs::perms::owner_write);
            } else {
                EXPECT_TRUE(fs::is_fifo(keptAs));
            }
            // Told once, and set aside once: the next opening finds nothing wrong.
            list.InitProfiles();
            library.Load();
            (void)library.LoadMacro(0);
            EXPECT_TRUE(takeStoredFileNotices().empty());
        }
    }
}

TEST(UnstoredChanges, AreReportedAsFailedAndNeverHappenLater)
{
    if (!testing_support::FullDisk::isAvailable())
        GTEST_SKIP() << "no way to fill a disk here";
    enum class Fails { Selection, RenamedProfileFile, RenamedList };
    struct Case {
        const char* what;
        Fails fails;
        std::size_t factoryPadding; // sizes the files so the disk fills at the write named
        int extraProfiles;
    };
    const Case cases[] = {
        {"selection", Fails::Selection, 0, 0},
        {"rename, at the profile file", Fails::RenamedProfileFile, 4000, 0},
        {"rename, at the list", Fails::RenamedList, 0, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StoredFolder stored(c.factoryPadding, c.extraProfiles);
        ProfileList list = stored.profiles();
        list.InitProfiles();
        ASSERT_TRUE(list.SelectProfile(1));
        const std::string listBefore = fileBytes(list.listPath());
        const fs::path profile = stored.profileFile(1);
        const auto listSize = fs::file_size(list.listPath());
        const auto profileSize = fs::file_size(profile);
        std::uint64_t room = 0;
        if (c.fails == Fails::RenamedProfileFile) {
            ASSERT_LT(listSize + 100, profileSize);
            room = (listSize + profileSize) / 2;
        } else if (c.fails == Fails::RenamedList) {
            ASSERT_LT(profileSize + 100, listSize);
            room = (listSize + profileSize) / 2;
        }
        {
            testing_support::FullDisk full(room);
            if (c.fails == Fails::Selection) {
                EXPECT_FALSE(list.SelectProfile(0));
                EXPECT_EQ(list.GetSelectedIndex(), 1) << "a choice not stored was taken";
                EXPECT_EQ(list.GetCurrentProfileId(), platform::fromUtf8(profile.stem().string()));
            } else {
                EXPECT_EQ(list.RenameProfile(L"gamma"), ProfileList::NotRenamed);
                EXPECT_EQ(list.names()[1], L"beta");
            }
        }
        EXPECT_EQ(list.lastRefusal(), ProfileList::Refusal::NotWritten);
        EXPECT_FALSE(fs::exists(stored.folder() / kRenameNoteFileName));
        // Opened again, the folder holds what was said: nothing changed.
        ProfileList reopened = stored.profiles();
        reopened.InitProfiles();
        EXPECT_EQ(reopened.names()[1], L"beta");
        EXPECT_EQ(reopened.GetSelectedIndex(), 1);
        EXPECT_EQ(fileBytes(list.listPath()), listBefore);
        EXPECT_EQ(nameIn(profile), "beta");
    }
}
