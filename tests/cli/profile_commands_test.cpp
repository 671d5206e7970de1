// halvekctl's stored-data commands, run as the user would run them, on a fresh folder.
#include "support/full_disk.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::CommandRun;

class ProfileCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::builtProgramExists("halvekctl") ||
            !fs::exists(fs::path(HALVEK_BINARY_DIR) / "DefaultData"))
            GTEST_SKIP() << "halvekctl or its factory data is not built";
    }

    // `withErrors` takes stderr into the output too.
    CommandRun run(const std::string& arguments, bool withErrors = false)
    {
        return testing_support::runBuiltProgram(
            "halvekctl", arguments + " --data-dir " + testing_support::shellWord(m_data.path()),
            withErrors ? testing_support::ErrorStream::Captured
                       : testing_support::ErrorStream::Dropped);
    }

    // Every file of the data folder with its bytes, to show that refusals change nothing.
    std::map<fs::path, std::string> snapshot() const
    {
        std::map<fs::path, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(m_data.path())) {
            if (entry.is_regular_file()) {
                std::ifstream in(entry.path(), std::ios::binary);
                files[entry.path()] = std::string(std::istreambuf_iterator<char>(in), {});
            }
        }
        return files;
    }

    testing_support::TempDir m_data;
};

} // namespace

TEST_F(ProfileCommands, EmptyFolderGetsProfile1AndNamesFollowTheRules)
{
    EXPECT_EQ(run("profile list").output, "*  0  profile1\n");
    EXPECT_EQ(run("profile add").output, "added profile2\n");
    EXPECT_EQ(run("profile select 1").status, 0);
    EXPECT_EQ(run("profile rename Profile2").status, 0);
    EXPECT_EQ(run("profile add").output, "added profile3\n");
    // Each run starts from the stored selection, which an add moves to the new profile.
    EXPECT_EQ(run("profile copy").output, "added profile3 copy\n");
    EXPECT_EQ(run("profile list").output,
              "   0  profile1\n   1  Profile2\n*  2  profile3\n   3  profile3 copy\n");
}

TEST_F(ProfileCommands, KeySetStoresTheCodeAndRefusalsChangeNothing)
{
    ASSERT_EQ(run("key set 0 Ctrl+C").status, 0);
    const CommandRun list = run("key list");
    EXPECT_EQ(list.output.substr(0, list.output.find('\n')),
              "  0  0x200106  0x200029  keyboard_key_LCtrl+keyboard_key_C");
    ASSERT_EQ(run("macro add").status, 0);
    const auto before = snapshot();
    EXPECT_EQ(run("key set 0 Hyper+C").status, 1);
    EXPECT_EQ(run("key set 126 Esc").status, 1);
    EXPECT_EQ(run("key set 1 macro:absent").status, 1);
    EXPECT_EQ(run("profile rename '  '").status, 1);
    EXPECT_EQ(run("profile delete").status, 1); // the last profile stays
    EXPECT_EQ(run("macro rename macro_1 MACRO_1").status, 1);
    // Names as long as the window's edits allow, and no longer.
    EXPECT_EQ(run("profile rename " + std::string(65, 'p')).status, 1);
    EXPECT_EQ(run("macro rename macro_1 " + std::string(33, 'm')).status, 1);
    EXPECT_EQ(run("macro import /dev/zero").status, 1);
    EXPECT_EQ(run("light set --brightness 9").status, 1);
    EXPECT_EQ(run("profile list --device toaster").status, 2);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(run("profile rename " + std::string(64, 'p')).status, 0);
    EXPECT_EQ(run("macro rename macro_1 " + std::string(32, 'm')).status, 0);
}

TEST_F(ProfileCommands, AnUnreadableListIsReportedAndNoCommandMakesFiles)
{
    // A list that exists but cannot be read as a file.
    fs::create_directories(m_data / "keyboard" / "ProfileList.ini");
    const auto before = snapshot();
    for (const char* command : {"profile add", "profile rename x", "profile delete",
                                "profile reset", "profile list", "key set 0 Esc"}) {
        const CommandRun result = run(command);
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_EQ(result.output, "") << command; // the reason goes to stderr
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_data / "keyboard"), fs::directory_iterator()),
              1);
}

TEST_F(ProfileCommands, FilesTooLargeToReadAreSetAsideAndNamedToTheUser)
{
    ASSERT_EQ(run("macro add").status, 0);
    ASSERT_EQ(run("profile list").status, 0);
    std::vector<fs::path> stored;
    for (const auto& entry : fs::directory_iterator(m_data / "keyboard")) {
        const auto extension = entry.path().extension();
        if (extension == ".Json" || extension == ".mac")
            stored.push_back(entry.path());
    }
    ASSERT_EQ(stored.size(), 1u); // the macro has no file until it is saved
    fs::resize_file(stored[0], 17 * 1024 * 1024);
    const CommandRun list = run("profile list", true);
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.output.find(stored[0].string() + ".toolarge"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("*  0  profile1"), std::string::npos);
    EXPECT_EQ(run("profile list", true).output, "*  0  profile1\n"); // told once
}

TEST_F(ProfileCommands, ASelectionThatCannotBeStoredFailsInWordsAndIsNotMade)
{
    if (!testing_support::FullDisk::isAvailable())
        GTEST_SKIP() << "no way to fill a disk here";
    ASSERT_EQ(run("profile add").status, 0); // selects profile2
    const auto before = snapshot();
    CommandRun refused;
    {
        testing_support::FullDisk full;
        refused = run("profile select 0", true);
    }
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("was not switched"), std::string::npos) << refused.output;
    EXPECT_EQ(snapshot(), before);
    // So the next apply, here or in the window, uses the profile still selected.
    EXPECT_EQ(run("profile list").output, "   0  profile1\n*  1  profile2\n");
}

TEST_F(ProfileCommands, DamagedListsAreNamedKeptAsideAndMadeAgainFromTheFilesLeft)
{
    ASSERT_EQ(run("profile add").status, 0);
    std::ofstream(m_data / "recorded.mac") << R"({"Events": [{"Type": 10, "Delay": "5"}]})";
    ASSERT_EQ(run("macro import " + testing_support::shellWord(m_data / "recorded.mac")).status, 0);
    for (const char* name : {"ProfileList.ini", "macro.config"})
        std::ofstream(m_data / "keyboard" / name, std::ios::trunc) << "{\"damaged";
    const CommandRun profiles = run("profile list", true);
    EXPECT_EQ(profiles.status, 0);
    for (const std::string& said :
         std::vector<std::string>{"*  0  profile1\n   1  profile2\n",
                                  (m_data / "keyboard" / "ProfileList.ini.corrupt").string(),
                                  "the list was rebuilt from the 2 profile files left"})
        EXPECT_NE(profiles.output.find(said), std::string::npos) << profiles.output;
    const CommandRun macros = run("macro list", true);
    EXPECT_EQ(macros.status, 0);
    for (const std::string& said : std::vector<std::string>{
             " 0  macro_1  1 events\n", (m_data / "keyboard" / "macro.config.corrupt").string(),
             "the macro list was rebuilt from the 1 macro files left"})
        EXPECT_NE(macros.output.find(said), std::string::npos) << macros.output;
}
