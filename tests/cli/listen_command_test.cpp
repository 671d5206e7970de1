#include "support/device_server.h"
#include "support/run_command.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using testing_support::CommandRun;

namespace {

class ListenCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::builtProgramExists("halvekctl"))
            GTEST_SKIP() << "halvekctl is not built";
    }
};

TEST_F(ListenCommand, PrintsTheEmulatedKeyboardsReportsAsDecoded)
{
    const CommandRun run = testing_support::runBuiltProgram(
        "halvekctl", "--simulate listen --seconds 1 --control 'report 0401' --control "
                     "'profile 3' --control 'report 1123' --control 'report 00e9'");
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* line : {
             "keyboard: listening on the cable",
             "keyboard: listening on the receiver",
             "keyboard: cable    0401  sync requested",
             "keyboard: cable    1003  profile slot 3",
             "keyboard: cable    1123  profile slot 3, value 2",
             "keyboard: cable    00e9  (not in the table: ignored)",
         })
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;

    const CommandRun receiver = testing_support::runBuiltProgram(
        "halvekctl", "--simulate=receiver listen --seconds 1 --control 'report 0402'");
    ASSERT_EQ(receiver.status, 0) << receiver.output;
    // Through the receiver 0402 is one more unnamed code.
    EXPECT_NE(receiver.output.find("keyboard: receiver    0402  (not in the table: ignored)"),
              std::string::npos)
        << receiver.output;
}

TEST_F(ListenCommand, ControlLinesNeedTheEmulatedKeyboard)
{
    const CommandRun run =
        testing_support::runBuiltProgram("halvekctl", "listen --control 'report 0401'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("add --simulate"), std::string::npos) << run.output;
}

TEST_F(ListenCommand, EveryReportNamesItsDevice)
{
    // Keyboard and mouse send the same codes: a line without the device is ambiguous.
    if (!testing_support::builtProgramExists("halvek-devsim"))
        GTEST_SKIP() << "halvek-devsim is not built";
    testing_support::TempDir folder;
    const testing_support::ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.path().string());
    testing_support::DeviceServer server(folder / "devsim.sock", {"--device", "both"});
    ASSERT_TRUE(server.isServing()) << server.failure();

    // Long enough for both devices' lines on a starved machine (Wine on loaded cores).
    const CommandRun run = testing_support::runBuiltProgram(
        "halvekctl", "--simulate=socket listen --seconds 5 --control 'keyboard report 0401' "
                     "--control 'mouse report 0401'");
    EXPECT_EQ(server.quit(), 0);
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* text : {"keyboard: cable    0401", "mouse: cable    0401"})
        EXPECT_NE(run.output.find(text), std::string::npos) << text << "\n" << run.output;
}

} // namespace
