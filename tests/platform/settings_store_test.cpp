#include "platform/settings_store.h"

#include "platform/debug_output.h"

#include "support/scoped_environment.h"
#include "support/system_traits.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

std::string contentOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace

TEST(SettingsStore, ValuesSurviveANewStoreOnTheSameFile)
{
    TempDir folder;
    const auto file = folder / "SPhalvek2vizudi/settings.conf"; // folder made on first write
    {
        platform::SettingsStore store(file);
        ASSERT_TRUE(store.setInteger(L"LANGUAGE", 0x208));
        ASSERT_TRUE(store.setText(L"DisplayVersion", L"2.3.0.2"));
        EXPECT_FALSE(store.setText(L"Odd = \\ name", L"text")); // "=" ends a name
        ASSERT_TRUE(store.setInteger(L"negative", -5));
        ASSERT_TRUE(store.setInteger(L"language", 1033)); // same value, other case
    }
    platform::SettingsStore store(file);
    EXPECT_EQ(store.integer(L"Language"), 1033);
    EXPECT_EQ(store.text(L"DisplayVersion"), L"2.3.0.2");
    EXPECT_EQ(store.integer(L"negative"), -5);
    // Escapes in the file must not be confused with backslashes in the text.
    EXPECT_TRUE(store.setText(L"Odd \\ name", L"a\\b\nc\td 键盘 \\n"));
    EXPECT_EQ(store.text(L"odd \\ NAME"), L"a\\b\nc\td 键盘 \\n");
    EXPECT_EQ(store.text(L"LANGUAGE"), std::nullopt); // an integer is no text
    EXPECT_EQ(store.integer(L"missing"), std::nullopt);
    ASSERT_TRUE(store.remove(L"NEGATIVE"));
    EXPECT_EQ(store.integer(L"negative"), std::nullopt);
    EXPECT_EQ(store.integer(L"LANGUAGE"), 1033);
}

TEST(SettingsStore, InvalidNamesAndTextsAreRefused)
{
    TempDir folder;
    platform::SettingsStore store(folder / "settings.conf");
    EXPECT_FALSE(store.setInteger(L"", 1));
    EXPECT_FALSE(store.setInteger(L"a=b", 1));
    EXPECT_FALSE(store.setInteger(L"line\nbreak", 1));
    EXPECT_FALSE(store.setText(L"bell", L"\a"));
    EXPECT_FALSE(fs::exists(folder / "settings.conf"));
}

TEST(SettingsStore, DamagedFileReadsAsEmptyAndKeepsItsGoodLines)
{
    TempDir folder;
    const auto file = folder / "settings.conf";
    std::ofstream(file, std::ios::binary)
        << "int LANGUAGE=1033\r\n"
        << "int broken=12abc\n"
        << "text unterminated=escape\\\n"
        << std::string("\0\xff\xfe garbage without type\n", 25) << "float pi=3.14\n"
        << "int overflow=99999999999999999999\n"
        << "text kept=yes"; // no final line end
    platform::SettingsStore store(file);
    EXPECT_EQ(store.integer(L"LANGUAGE"), 1033);
    EXPECT_EQ(store.text(L"kept"), L"yes");
    EXPECT_EQ(store.integer(L"broken"), std::nullopt);
    EXPECT_EQ(store.integer(L"overflow"), std::nullopt);
    EXPECT_TRUE(platform::debugLinesContain(L"line 2 of"));

    // Pure garbage reads as empty, and the next write replaces it.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(300, '\xff');
    EXPECT_EQ(store.integer(L"LANGUAGE"), std::nullopt);
    ASSERT_TRUE(store.setInteger(L"LANGUAGE", 2052));
    EXPECT_EQ(store.integer(L"LANGUAGE"), 2052);
}

TEST(SettingsStore, OversizedFileReadsAsEmptyAndIsKeptAside)
{
    TempDir folder;
    const auto file = folder / "settings.conf";
    {
        std::ofstream out(file, std::ios::binary);
        out << "int LANGUAGE=1033\n";
        out << "# " << std::string(platform::SettingsStore::kMaxFileSize, 'x') << "\n";
    }
    platform::SettingsStore store(file);
    EXPECT_EQ(store.integer(L"LANGUAGE"), std::nullopt);
    // The user's values are kept aside before anything replaces the file.
    ASSERT_TRUE(store.setInteger(L"LANGUAGE", 2052));
    const auto aside = folder / "settings.conf.toolarge";
    ASSERT_TRUE(std::filesystem::exists(aside));
    EXPECT_GT(std::filesystem::file_size(aside), platform::SettingsStore::kMaxFileSize);
    EXPECT_EQ(store.integer(L"LANGUAGE"), 2052);
}

TEST(SettingsStore, ChangeReplacesTheFileAtomically)
{
    TempDir folder;
    const auto file = folder / "settings.conf";
    platform::SettingsStore store(file);
    ASSERT_TRUE(store.setInteger(L"LANGUAGE", 1033));
    fs::create_hard_link(file, folder / "before");
    ASSERT_TRUE(store.setInteger(L"LANGUAGE", 2052));
    // The old file was never opened for writing: it still holds the complete old value.
    EXPECT_NE(contentOf(folder / "before").find("int LANGUAGE=1033\n"), std::string::npos);
    EXPECT_NE(contentOf(file).find("int LANGUAGE=2052\n"), std::string::npos);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 2u);
}

TEST(SettingsStore, DefaultFileIsInTheProgramsConfigFolder)
{
    if (!testing_support::usesXdgBaseFolders())
        GTEST_SKIP() << "no XDG folders on this system";
    testing_support::ScopedEnvironment config("XDG_CONFIG_HOME", "/xdg/config");
    EXPECT_EQ(platform::SettingsStore::defaultFile(),
              fs::path("/xdg/config/SPhalvek2vizudi/settings.conf"));
}

TEST(SettingsStore, ARewriteKeepsEveryOtherLineByteForByteAndNothingUnchangedIsWritten)
{
    const std::string others = "# written by hand\r\n"
                               "int LANGUAGE=1033\r\n"
                               "colour scheme = dark\n" // not this store's form
                               "text LastFolderMacro=/home/u/caf\xe9\n"
                               "int broken=12abc\n"
                               "\n"
                               "text Odd=a\\tb";
    struct Case {
        const char* what;
        std::function<platform::Result<void>(platform::SettingsStore&)> change;
        std::string after; // empty: the file is not written at all
    };
    const Case cases[] = {
        {"a new value", [](auto& store) { return store.setInteger(L"Volume", 7); },
         others + "\nint Volume=7\n"},
        {"a changed value", [](auto& store) { return store.setInteger(L"language", 2052); },
         "# written by hand\r\nint language=2052\r\n" + others.substr(38)},
        {"a removed value", [](auto& store) { return store.remove(L"ODD"); },
         others.substr(0, others.rfind('\n') + 1)},
        {"the same value", [](auto& store) { return store.setInteger(L"LANGUAGE", 1033); }, ""},
        {"a value not there removed", [](auto& store) { return store.remove(L"absent"); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir folder;
        const auto file = folder / "settings.conf";
        std::ofstream(file, std::ios::binary) << others;
        // A second name for the file as it is: a write would leave it behind as another file.
        // (Wine reports one link whatever the file has: there only the content is checked.)
        fs::create_hard_link(file, folder / "before");
        const bool linksCounted = fs::hard_link_count(file) == 2;
        platform::SettingsStore store(file);
        ASSERT_TRUE(c.change(store));
        EXPECT_EQ(contentOf(file), c.after.empty() ? others : c.after);
        if (linksCounted) {
            EXPECT_EQ(fs::hard_link_count(file), c.after.empty() ? 2u : 1u);
        }
    }
    TempDir folder;
    platform::SettingsStore store(folder / "settings.conf");
    ASSERT_TRUE(store.remove(L"absent"));
    EXPECT_FALSE(fs::exists(folder / "settings.conf")) << "nothing to keep, nothing written";
}

TEST(SettingsStore, APathKeepsItsBytesWhetherOrNotTheyAreUtf8)
{
    TempDir folder;
    platform::SettingsStore store(folder / "settings.conf");
    std::vector<std::string> names = {"/home/u/\xe9\x85\x8d\xe7\xbd\xae/\\new\tline"};
#ifndef _WIN32 // a Windows name is UTF-16 text, never other bytes
    names.push_back("/home/u/caf\xe9");
#endif
    for (const std::string& bytes : names) {
        const fs::path path(std::u8string(bytes.begin(), bytes.end()));
        ASSERT_TRUE(store.setPath(L"LastFolderProfile", path));
        EXPECT_EQ(store.path(L"LastFolderProfile"), path);
        EXPECT_EQ(platform::SettingsStore(folder / "settings.conf").path(L"lastfolderprofile"),
                  path);
    }
    EXPECT_FALSE(store.setPath(L"LastFolderProfile", fs::path("/bell\a")));
    EXPECT_EQ(store.path(L"missing"), std::nullopt);
}
