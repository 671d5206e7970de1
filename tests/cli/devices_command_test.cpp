#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/run_command.h"

using testing_support::CommandRun;

namespace {

CommandRun halvekctl(const std::string& arguments)
{
    return testing_support::runBuiltProgram("halvekctl", arguments);
}

class DevicesCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::builtProgramExists("halvekctl"))
            GTEST_SKIP() << "halvekctl is not built";
    }
};

TEST_F(DevicesCommand, SimulatedKeyboardShowsCommandAndConsumerCollectionsOnBothLinks)
{
    const CommandRun run = halvekctl("--simulate devices");
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* product : {"pid_5078", "pid_5001"}) {
        SCOPED_TRACE(product);
        EXPECT_NE(run.output.find(std::string(product) + "&mi_01&col03"), std::string::npos);
        EXPECT_NE(run.output.find(std::string(product) + "&mi_01&col04"), std::string::npos);
    }
    EXPECT_NE(run.output.find("5078 01 04  ff1c 0092"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("5001 01 03  000c 0001"), std::string::npos) << run.output;
}

TEST_F(DevicesCommand, OneLinkOnlyAndNoSimulation)
{
    const CommandRun cable = halvekctl("--simulate=cable devices");
    ASSERT_EQ(cable.status, 0);
    EXPECT_NE(cable.output.find("pid_5078"), std::string::npos);
    EXPECT_EQ(cable.output.find("pid_5001"), std::string::npos);

    // No hidraw nodes here: an empty list, and still success.
    const CommandRun none = halvekctl("devices");
    EXPECT_EQ(none.status, 0) << none.output;
    EXPECT_EQ(none.output.find("sim&"), std::string::npos);
}

} // namespace

TEST_F(DevicesCommand, WatchOpensTheChannelOnTheCableAndKeepsTheReceiverAside)
{
    const CommandRun run = halvekctl("--simulate devices --watch --seconds 1");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("+ row 0  keyboard (cable)  command"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("+ row 2  keyboard (receiver)  command"), std::string::npos);
    EXPECT_NE(run.output.find("keyboard: channel open on the cable (56-byte chunks)"),
              std::string::npos);
    EXPECT_EQ(run.output.find("switched"), std::string::npos);
}
