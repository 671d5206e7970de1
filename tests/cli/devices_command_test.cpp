#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct CommandRun {
    int status = -1;
    std::string output;
};

CommandRun halvekctl(const std::string& arguments)
{
    const std::filesystem::path program = std::filesystem::path(HALVEK_BINARY_DIR) / "halvekctl";
    CommandRun run;
    const std::string command = program.string() + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        run.output += chunk;
    run.status = pclose(pipe);
    return run;
}

class DevicesCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(std::filesystem::path(HALVEK_BINARY_DIR) / "halvekctl"))
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
