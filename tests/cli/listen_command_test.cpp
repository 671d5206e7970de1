#include <gtest/gtest.h>

#include <string>

#include "support/run_command.h"

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
             "cable    0401  sync requested",
             "cable    1003  profile slot 3",
             "cable    1123  profile slot 3, value 2",
             "cable    00e9  (not in the table: ignored)",
         })
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;

    const CommandRun receiver = testing_support::runBuiltProgram(
        "halvekctl", "--simulate=receiver listen --seconds 1 --control 'report 0402'");
    ASSERT_EQ(receiver.status, 0) << receiver.output;
    // Through the receiver 0402 is one more unnamed code.
    EXPECT_NE(receiver.output.find("receiver    0402  (not in the table: ignored)"),
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

} // namespace
