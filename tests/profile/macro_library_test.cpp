#include "profile/json_access.h"
#include "profile/keyboard_profile_data.h"
#include "profile/macro_library.h"
#include "profile/macro_references.h"
#include "profile/profile_list.h"

#include "platform/text.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <json/reader.h>

#include <fstream>
#include <memory>
#ifndef _WIN32
#include <sys/stat.h>
#endif

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

} // namespace

TEST(MacroLibrary, NewNamesFillTheFirstFreeNumber)
{
    TempDir dir;
    writeBytes(dir / "macro.config", R"({"Other": 1, "MacroInfo": [
        {"MacroName": "macro_1", "Guid": "a"}, {"MacroName": "Macro_3", "Guid": "b"}]})");
    MacroLibrary library(dir.path());
    library.Load();
    EXPECT_EQ(library.NewMacro(), L"macro_2");
    EXPECT_EQ(library.NewMacro(), L"macro_4");
    const Json::Value index = CJsonFile().ReadJson(dir / "macro.config");
    EXPECT_EQ(json::readInt(json::member(index, "Other")), 1);
    EXPECT_EQ(json::arraySize(json::member(index, "MacroInfo")), 4u);
    EXPECT_NE(library.guid(2), library.guid(3));
    EXPECT_FALSE(std::filesystem::exists(library.macroPath(2))); // not saved yet
}

TEST(MacroLibrary, RenameRefusesBlankAndTakenNamesIncludingItsOwn)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    library.NewMacro();
    library.NewMacro();
    using R = MacroLibrary::RenameResult;
    EXPECT_EQ(library.RenameMacro(0, L" "), R::Blank);
    EXPECT_EQ(library.RenameMacro(0, L"MACRO_1"), R::Taken);
    EXPECT_EQ(library.RenameMacro(0, L"Macro_2"), R::Taken);
    EXPECT_EQ(library.RenameMacro(5, L"x"), R::NoMacro);
    EXPECT_EQ(library.RenameMacro(0, L"拷贝"), R::Renamed);
    MacroLibrary reread(dir.path());
    reread.Load();
    EXPECT_EQ(reread.names(), (Names{L"拷贝", L"macro_2"}));
}

TEST(MacroLibrary, FiftyMacrosAtMostAndImportThenDoesNothing)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    for (int i = 0; i < 50; ++i)
        ASSERT_FALSE(library.NewMacro().empty()) << i;
    EXPECT_TRUE(library.NewMacro().empty());
    writeBytes(dir / "in.mac", R"({"Events": []})");
    const auto before = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    EXPECT_TRUE(library.ImportMacro(dir / "in.mac").empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), before);
}

TEST(MacroLibrary, SavedRowsCarryDelayTextAndStopAtABrokenRow)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    library.NewMacro();
    const std::vector<MacroRow> rows = {
        {R"({"Type": 10, "Action": "down", "Button": 4, "Delay": 0})", L"300"},
        {R"({"Type": 10, "Action": "up", "Button": 4, "Delay": "0"})", L""},
        {R"({"Type": 1, "Action": "down", "Button": 1, "Delay": "0"})", L"70000"},
        {"", L"5"},
        {R"({"Type": 1, "Action": "up", "Button": 1})", L"5"}};
    ASSERT_TRUE(library.SaveMacro(0, rows));
    const Json::Value saved = CJsonFile().ReadJson(library.macroPath(0));
    EXPECT_EQ(json::readInt(json::member(saved, "Version")), 64);
    EXPECT_EQ(json::readString(json::member(saved, "MacroName")), "macro_1");
    const Json::Value& events = json::member(saved, "Events");
    ASSERT_EQ(json::arraySize(events), 3u);
    EXPECT_EQ(json::member(events[0], "Delay"), Json::Value("300"));
    EXPECT_EQ(json::member(events[1], "Delay"), Json::Value("0"));
    EXPECT_EQ(json::member(events[2], "Delay"), Json::Value("65535"));
    const auto loaded = library.LoadMacro(0);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->size(), 3u);
    EXPECT_EQ((*loaded)[2].delay, L"65535");
    EXPECT_EQ(library.LoadEvents(0)[0].button, 4);
    EXPECT_TRUE(library.LoadEvents(0)[0].down);
}

TEST(MacroLibrary, HostileDelaysSaturateAndOddEventsReadSafely)
{
    const auto doc = parseJson(R"({"Events": [{"Delay": "70000"}, {"Delay": "-5"},
        {"Delay": "x"}, {"Delay": 12}, {"Delay": "99999999999999999999"}, {"Delay": [1]},
        {"Type": "10", "Button": 300, "Action": 1}, 7]})")
                         .value();
    const auto events = readMacroEvents(doc);
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[0].delay, 65535);
    EXPECT_EQ(events[1].delay, 0);
    EXPECT_EQ(events[2].delay, 0);
    EXPECT_EQ(events[3].delay, 12);
    EXPECT_EQ(events[4].delay, 65535);
    EXPECT_EQ(events[5].delay, 0);
    EXPECT_EQ(events[6].type, 0);
    EXPECT_EQ(events[6].button, 44);
    EXPECT_FALSE(events[6].down);
}

TEST(MacroLibrary, ImportKeepsTheEventsUnderANewNameAndIdentifier)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    library.NewMacro();
    // Invalid UTF-8, a foreign identifier that would leave the folder, an extra member, and
    // a NUL and garbage after the document.
    const std::string text = "{\"MacroName\": \"the\xff\xfeirs\", \"Guid\": \"../../../etc/x\", "
                             "\"Note\": \"\xc3\", \"Events\": [{\"Type\": 10, \"Delay\": \"5\"}]}";
    writeBytes(dir / "theirs.mac", text + std::string("\0garbage", 8));
    EXPECT_EQ(library.ImportMacro(dir / "theirs.mac"), L"macro_2");
    const std::string stored = fileBytes(library.macroPath(1));
    // What this program would write: strict JSON, valid UTF-8, its own name and identifier.
    Json::Value document;
    Json::CharReaderBuilder strict;
    Json::CharReaderBuilder::strictMode(&strict.settings_);
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(strict.newCharReader());
    ASSERT_TRUE(reader->parse(stored.data(), stored.data() + stored.size(), &document, &errors))
        << errors << stored;
    EXPECT_EQ(platform::toUtf8(platform::fromUtf8(stored)), stored);
    EXPECT_EQ(json::readString(json::member(document, "MacroName")), "macro_2");
    EXPECT_EQ(json::readString(json::member(document, "Guid")), library.guid(1));
    EXPECT_TRUE(isTimestampId(library.guid(1)));
    EXPECT_EQ(json::readString(json::member(document, "Note")), "\xef\xbf\xbd");
    EXPECT_EQ(library.LoadEvents(1).size(), 1u);
    EXPECT_EQ(library.LoadEvents(1)[0].delay, 5u);
    ASSERT_TRUE(library.ExportMacro(1, dir / "out.mac"));
    EXPECT_EQ(fileBytes(dir / "out.mac"), stored);
    // Not a macro file: refused before anything changes.
    writeBytes(dir / "junk.mac", "\x7f"
                                 "ELF garbage");
    EXPECT_TRUE(library.ImportMacro(dir / "junk.mac").empty());
    EXPECT_TRUE(library.ImportMacro(dir / "absent.mac").empty());
    EXPECT_EQ(library.count(), 2u);
    EXPECT_FALSE(library.ExportMacro(0, dir / "never-saved.mac"));
}

#ifndef _WIN32 // FIFOs, device files and the umask are Unix's
TEST(MacroLibrary, ImportsThatAreNoFilesAreRefusedWithoutWaiting)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    ASSERT_EQ(::mkfifo((dir / "fifo.mac").c_str(), 0600), 0);
    std::filesystem::create_directories(dir / "folder.mac");
    for (const std::filesystem::path& path :
         {dir / "fifo.mac", dir / "folder.mac", std::filesystem::path("/dev/zero")})
        EXPECT_TRUE(library.ImportMacro(path).empty()) << path;
    EXPECT_EQ(library.count(), 0u);
}
#endif

TEST(MacroLibrary, AnImportWhoseFileCannotBeWrittenLeavesNothingBehind)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    library.NewMacro();
    const std::string indexBefore = fileBytes(library.indexPath());
    // Small to read, but written out one deeply indented number a line it is past what a
    // file may hold.
    std::string padding = std::string(30, '[') + "0";
    for (int i = 0; i < 200'000; ++i)
        padding += ",0";
    writeBytes(dir / "big.mac",
               "{\"Events\": [], \"Padding\": " + padding + std::string(30, ']') + "}");
    EXPECT_TRUE(library.ImportMacro(dir / "big.mac").empty());
    EXPECT_EQ(library.count(), 1u);
    EXPECT_EQ(fileBytes(library.indexPath()), indexBefore);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename() != "big.mac") {
            EXPECT_NE(entry.path().extension(), ".mac") << entry.path();
        }
    }
}

TEST(MacroLibrary, AFileNoIndexEntryNamesIsRecoveredAtTheNextLoad)
{
    TempDir dir;
    {
        MacroLibrary library(dir.path());
        library.Load();
        library.NewMacro();
        library.NewMacro();
        ASSERT_TRUE(library.RenameMacro(1, L"keep me") == MacroLibrary::RenameResult::Renamed);
        ASSERT_TRUE(library.SaveMacro(1, {{R"({"Type": 10})", L"7"}}));
        // A delete killed after the index was written and before the file went.
        const std::string orphanBytes = fileBytes(library.macroPath(1));
        const auto orphan = library.macroPath(1);
        ASSERT_TRUE(library.DeleteMacro(1));
        writeBytes(orphan, orphanBytes);
    }
    // Files the program did not name are left alone.
    writeBytes(dir / "notes.mac", R"({"Events": []})");
    MacroLibrary library(dir.path());
    library.Load();
    EXPECT_EQ(library.names(), (Names{L"macro_1", L"keep me"}));
    EXPECT_EQ(library.LoadEvents(1).size(), 1u);
    // Kept in the index: a second load finds nothing more.
    library.Load();
    EXPECT_EQ(library.count(), 2u);
}

TEST(MacroLibrary, UnreadableIndexRefusesChangesAndHostileIdsStayInTheFolder)
{
    TempDir root;
    std::filesystem::create_directories(root / "a" / "macro.config");
    MacroLibrary unreadable(root / "a");
    unreadable.Load();
    EXPECT_FALSE(unreadable.isReadable());
    EXPECT_TRUE(unreadable.NewMacro().empty());

    std::filesystem::create_directories(root / "b");
    writeBytes(root / "victim.mac", "{}");
    writeBytes(root / "b" / "macro.config", R"({"MacroInfo": [
        {"MacroName": "evil", "Guid": "../victim"}, {"MacroName": 3, "Guid": 4}]})");
    MacroLibrary hostile(root / "b");
    hostile.Load();
    EXPECT_EQ(hostile.names(), (Names{L"evil", L""}));
    EXPECT_TRUE(hostile.macroPath(0).empty());
    EXPECT_TRUE(hostile.LoadMacro(0)->empty());
    EXPECT_FALSE(hostile.SaveMacro(0, {}));
    EXPECT_TRUE(hostile.DeleteMacro(0));
    EXPECT_TRUE(std::filesystem::exists(root / "victim.mac"));

    writeBytes(root / "b" / "macro.config", "{broken");
    hostile.Load();
    EXPECT_TRUE(hostile.isReadable());
    EXPECT_EQ(hostile.NewMacro(), L"macro_1");
    EXPECT_EQ(fileBytes(root / "b" / "macro.config.corrupt"), "{broken");
}

TEST(MacroReferences, DeletingMacro0OfThreeRenumbersEveryProfile)
{
    TempDir root;
    writeBytes(root / "keyboard.Json", R"({"Device": [{"KeyList": []}]})");
    ProfileList list;
    list.SetPaths(root / "keyboard", root / "keyboard.Json");
    list.InitProfiles();
    ASSERT_TRUE(list.AddProfile());
    list.GetProfileCount();
    const auto current = list.GetProfilePath(0);
    const auto other = list.GetProfilePath(1);
    // Keys using macro 0, 2 and 1, each with its own default.
    writeBytes(other, R"({"profilename": "profile2", "Device": [{"KeyList": [
        {"Assignment": 7340032, "DefaultAssignment": 2097193},
        {"Assignment": 7340546, "DefaultAssignment": 2097210},
        {"Assignment": 7405825, "DefaultAssignment": 2097211}]}]})");
    CKeyboardProfiledata scratch;
    scratch.SetDefaultPath(root / "keyboard.Json");
    EXPECT_TRUE(macroUsedByProfiles(list, scratch, 0));
    EXPECT_FALSE(macroUsedByProfiles(list, scratch, 3));
    EXPECT_EQ(renumberMacroInProfiles(list, scratch, 0, current), 1);
    CKeyboardProfiledata check;
    check.LoadProfileFile(other);
    const auto keys = check.LoadKeyList();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(toInteger(keys[0].current), 2097193);   // back to its default
    EXPECT_EQ(keys[1].current, makeCode(0x70, 1, 2)); // macro 2 became macro 1
    EXPECT_EQ(keys[2].current, makeCode(0x71, 0, 1)); // macro 1 became macro 0
    EXPECT_EQ(json::readString(json::member(CJsonFile().ReadJson(other), "profilename")),
              "profile2");
    // Stale references after the library shrank fall back to their defaults too.
    auto stale = keys;
    EXPECT_TRUE(resetStaleMacroKeys(stale, 1));
    EXPECT_EQ(toInteger(stale[1].current), 2097210);
    EXPECT_EQ(stale[2].current, makeCode(0x71, 0, 1));
}

TEST(MacroLibrary, AMacroPastTheEventLimitIsRefusedNotCut)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    ASSERT_FALSE(library.NewMacro().empty());
    std::string events;
    for (std::size_t i = 0; i <= kMaxMacroEvents; ++i)
        events += std::string(i ? "," : "") + R"({"Type": 10, "Action": "down", "Button": 4})";
    writeBytes(library.macroPath(0), R"({"Events": [)" + events + "]}");
    const auto loaded = library.LoadMacro(0);
    ASSERT_FALSE(loaded);
    EXPECT_NE(loaded.error().message.find("4000"), std::string::npos);
}

TEST(MacroLibrary, PadAndHeadsetKeepTheirIndexUnderItsOwnName)
{
    EXPECT_STREQ(macroIndexFileName(1), "macro.config");
    EXPECT_STREQ(macroIndexFileName(2), "macro.config");
    EXPECT_STREQ(macroIndexFileName(3), "novik_macro.config");
    EXPECT_STREQ(macroIndexFileName(7), "novik_macro.config");
}

TEST(MacroLibrary, AMacroFileTooLargeToReadIsSetAsideNotSavedOver)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    library.NewMacro();
    library.NewMacro();
    ASSERT_TRUE(library.SaveMacro(1, {MacroRow{R"({"Type": 1, "Button": 4})", L"10"}}));
    const auto file = library.macroPath(0);
    const auto sparse = [](const std::filesystem::path& path) {
        std::ofstream big(path, std::ios::binary);
        big.seekp(static_cast<std::streamoff>(kMaxJsonFileSize));
        big.put('}');
    };
    sparse(file);
    // The editor is refused the file rather than shown it empty.
    EXPECT_EQ(library.LoadMacro(0).error().code, platform::Error::Code::TooLarge);

    std::filesystem::path taken = file;
    taken += ".toolarge";
    writeBytes(taken, "an earlier one");
    MacroLibrary reopened(dir.path());
    reopened.Load();
    std::filesystem::path aside = file;
    aside += ".toolarge1";
    EXPECT_EQ(std::filesystem::file_size(aside), kMaxJsonFileSize + 1);
    EXPECT_EQ(fileBytes(taken), "an earlier one");
    ASSERT_EQ(reopened.setAsideNotices().size(), 1u);
    EXPECT_NE(reopened.setAsideNotices()[0].find(aside.string()), std::string::npos);
    // The library is whole; the set-aside macro is empty and saves afresh.
    EXPECT_EQ(reopened.names(), (Names{L"macro_1", L"macro_2"}));
    EXPECT_TRUE(reopened.LoadMacro(0)->empty());
    EXPECT_EQ(reopened.LoadMacro(1)->size(), 1u);

    // One that grows past the bound after the load is set aside before a save replaces it.
    sparse(file);
    ASSERT_TRUE(reopened.SaveMacro(0, {}));
    std::filesystem::path second = file;
    second += ".toolarge2";
    EXPECT_EQ(std::filesystem::file_size(second), kMaxJsonFileSize + 1);
}

TEST(MacroLibrary, AnIndexTooLargeToReadIsSetAsideAndItsMacrosComeBack)
{
    TempDir dir;
    MacroLibrary library(dir.path());
    library.Load();
    library.NewMacro();
    ASSERT_TRUE(library.SaveMacro(0, {MacroRow{R"({"Type": 1, "Button": 4})", L"10"}}));
    const auto index = dir.path() / kMacroIndexFileName;
    {
        std::ofstream big(index, std::ios::binary);
        big.seekp(static_cast<std::streamoff>(kMaxJsonFileSize));
        big.put('}');
    }
    MacroLibrary reopened(dir.path());
    reopened.Load();
    std::filesystem::path aside = index;
    aside += ".toolarge";
    EXPECT_EQ(std::filesystem::file_size(aside), kMaxJsonFileSize + 1);
    ASSERT_EQ(reopened.setAsideNotices().size(), 1u);
    EXPECT_EQ(reopened.names(), Names{L"macro_1"});
    EXPECT_EQ(reopened.LoadMacro(0)->size(), 1u);
    EXPECT_FALSE(reopened.NewMacro().empty());
}
