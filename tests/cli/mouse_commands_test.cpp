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
