#include "support/device_server.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using testing_support::runBuiltProgram;
using testing_support::shellWord;

namespace {

bool contains(const testing_support::CommandRun& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

class MouseCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::builtProgramExists("halvekctl") ||
            !std::filesystem::exists(std::filesystem::path(HALVEK_BINARY_DIR) / "DefaultData"))
            GTEST_SKIP() << "halvekctl or its factory data is not built";
    }

    // halvekctl on the in-process emulated mouse, its memory kept in the folder.
    testing_support::CommandRun mouse(const std::string& command)
    {
        return runBuiltProgram("halvekctl", "--simulate --device mouse --sim-state " +
                                                shellWord(folder / "mouse.state") + " " + command +
                                                " --data-dir " + shellWord(folder / "data"));
    }

    testing_support::TempDir folder;
};

} // namespace

TEST_F(MouseCommands, ApplyThenStateFindsNothingChanged)
{
    const auto apply = mouse("apply");
    ASSERT_EQ(apply.status, 0) << apply.output;
    EXPECT_TRUE(contains(apply, "slot record")) << apply.output;
    EXPECT_FALSE(contains(apply, "custom colours")) << "the mouse has no colour groups";
    const auto state = mouse("state");
    EXPECT_EQ(state.status, 0) << state.output;
    EXPECT_TRUE(contains(state, "nothing changed")) << state.output;

    const auto read = runBuiltProgram("halvekctl", "--simulate --device mouse --sim-state " +
                                                       shellWord(folder / "mouse.state") +
                                                       " read settings --json");
    EXPECT_EQ(read.status, 0) << read.output;
    EXPECT_TRUE(contains(read, "\"dpiX\" : 6400")) << read.output;
    EXPECT_TRUE(contains(read, "\"reportStage\" : 3")) << read.output;
}

TEST_F(MouseCommands, AKeyboardsStateFileIsNotLoadedIntoTheMouse)
{
    {
        std::ofstream(folder / "mouse.state")
            << "{\"format\":\"halvek-devsim-keyboard\",\"version\":1,\"areas\":{}}";
    }
    const auto apply = mouse("apply");
    EXPECT_EQ(apply.status, 0) << apply.output;
    EXPECT_TRUE(contains(apply, "not a mouse state file")) << apply.output;
    std::ifstream kept(folder / "mouse.state");
    const std::string text((std::istreambuf_iterator<char>(kept)), {});
    EXPECT_NE(text.find("halvek-devsim-keyboard"), std::string::npos) << "the file is left alone";
}

TEST_F(MouseCommands, UnknownDeviceIsRefused)
{
    const auto run = runBuiltProgram("halvekctl", "--device toaster info");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run, "--device takes keyboard, mouse, MousePad or HD")) << run.output;
}

TEST_F(MouseCommands, ServedMouseIsConfiguredThroughTheSocket)
{
    if (!testing_support::builtProgramExists("halvek-devsim"))
        GTEST_SKIP() << "halvek-devsim is not built";
    testing_support::DeviceServer server(folder / "devsim.sock", {"--device", "mouse"});
    ASSERT_TRUE(server.isServing()) << server.failure();

    const std::string data = " --data-dir " + shellWord(folder / "data");
    const auto keyboard = runBuiltProgram("halvekctl", "--simulate=socket apply" + data);
    EXPECT_EQ(keyboard.status, 1) << "no keyboard is served";
    EXPECT_TRUE(contains(keyboard, "no keyboard found")) << keyboard.output;
    const auto apply =
        runBuiltProgram("halvekctl", "--simulate=socket --device mouse apply" + data);
    EXPECT_EQ(apply.status, 0) << apply.output;
    const auto dump = server.control("dump settings");
    EXPECT_TRUE(contains(dump, "0000: 00 04 04 02")) << dump.output; // factory effect 4

    EXPECT_EQ(server.quit(), 0);
}

TEST_F(MouseCommands, DpiStagesAreSetThroughThePagesModelAndReadBackFromTheMouse)
{
    const auto list = mouse("mouse dpi");
    ASSERT_EQ(list.status, 0) << list.output;
    EXPECT_TRUE(contains(list, "stage 1")) << list.output;
    EXPECT_TRUE(contains(list, "report rate  1000 Hz")) << list.output;

    const auto set = mouse("mouse dpi set 2 on current dpi=1650 colour=#12ab34 rate=500");
    ASSERT_EQ(set.status, 0) << set.output;
    EXPECT_TRUE(contains(set, "stage 2  on  * ")) << set.output;
    // The emulated mouse holds what was written, seen by a run of its own.
    const auto read = runBuiltProgram("halvekctl", "--simulate --device mouse --sim-state " +
                                                       shellWord(folder / "mouse.state") +
                                                       " read settings --json");
    ASSERT_EQ(read.status, 0) << read.output;
    EXPECT_TRUE(contains(read, "\"activeDpiStage\" : 1")) << read.output;
    EXPECT_TRUE(contains(read, "\"reportStage\" : 2")) << read.output;
    EXPECT_TRUE(contains(read, "\"green\" : 171")) << read.output;
    const auto again = mouse("mouse dpi list");
    EXPECT_EQ(again.output, set.output) << "the next run shows what the mouse holds";
}

TEST_F(MouseCommands, DpiRefusalsAreInWordsAndChangeNothing)
{
    const auto before = mouse("mouse dpi");
    ASSERT_EQ(before.status, 0) << before.output;
    struct Case {
        const char* arguments;
        const char* words;
    };
    for (const Case& c : {
             Case{"mouse dpi set 6 on", "no DPI stage '6'"},
             Case{"mouse dpi set 0 on", "no DPI stage '0'"},
             Case{"mouse dpi set 1 dpi=16OO", "not a whole number"},
             Case{"mouse dpi set 1 dpi=-400", "not a whole number"},
             Case{"mouse dpi set 1 colour=12345", "not a colour"},
             Case{"mouse dpi set 1 colour=GG0000", "not a colour"},
             Case{"mouse dpi set 1 rate=300", "not a report rate"},
             Case{"mouse dpi set 1 turbo", "unknown setting"},
             // The second setting is refused: the first is not kept either.
             Case{"mouse dpi set 1 dpi=800 rate=7", "nothing was changed"},
         }) {
        const auto run = mouse(c.arguments);
        EXPECT_NE(run.status, 0) << c.arguments;
        EXPECT_TRUE(contains(run, c.words)) << c.arguments << ": " << run.output;
    }
    EXPECT_EQ(mouse("mouse dpi").output, before.output);
    // Every stage off but one: that one stays on, and an off stage cannot be current.
    for (const char* stage : {"1", "2", "3", "4", "5"})
        (void)mouse(std::string("mouse dpi set ") + stage + " off");
    const auto last = mouse("mouse dpi");
    std::size_t on = 0;
    for (std::size_t at = last.output.find(" on "); at != std::string::npos;
         at = last.output.find(" on ", at + 1))
        ++on;
    EXPECT_EQ(on, 1u) << last.output;
    const auto offCurrent = mouse("mouse dpi set 1 current");
    EXPECT_NE(offCurrent.status, 0) << offCurrent.output;
    EXPECT_TRUE(contains(offCurrent, "is off")) << offCurrent.output;
    EXPECT_EQ(mouse("mouse dpi --device keyboard").status, 2) << "the keyboard has no DPI";
}
