#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

struct ProgramRun {
    int status = -1;
    std::string output;
};

std::filesystem::path program(const char* name)
{
    return std::filesystem::path(HALVEK_BINARY_DIR) / name;
}

ProgramRun run(const std::string& command)
{
    ProgramRun result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        result.output += chunk;
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ProgramRun halvekctl(const std::string& arguments)
{
    return run(program("halvekctl").string() + " " + arguments);
}

bool contains(const ProgramRun& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

class KeyboardCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(program("halvekctl")))
            GTEST_SKIP() << "halvekctl is not built";
    }
    testing_support::TempDir folder;
};

} // namespace

TEST_F(KeyboardCommands, InfoFindsEveryFactoryCodeInTheShuffledLayout)
{
    const ProgramRun info = halvekctl("--simulate info");
    ASSERT_EQ(info.status, 0) << info.output;
    EXPECT_TRUE(contains(info, "78 50 02 01 01 7e 20 00")) << info.output;
    EXPECT_TRUE(contains(info, "Key slots: 126"));
    EXPECT_TRUE(contains(info, "Macro memory: 4096 bytes"));
    EXPECT_TRUE(contains(info, "Factory key codes found: 126 of 126"));

    const ProgramRun receiver = halvekctl("--simulate=receiver info");
    ASSERT_EQ(receiver.status, 0) << receiver.output;
    EXPECT_TRUE(contains(receiver, "Link: receiver"));
}

TEST_F(KeyboardCommands, FailuresExitNonZeroNamingTheStatus)
{
    const ProgramRun none = halvekctl("info");
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none, "no keyboard found")) << none.output;
    EXPECT_TRUE(contains(none, "(0)"));

    const ProgramRun unknown = halvekctl("--simulate raw 0x42");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(contains(unknown, "device answered 0xFF (-102)")) << unknown.output;

    const ProgramRun pastTheEnd = halvekctl("--simulate raw 6 --offset 600 --data 01");
    EXPECT_EQ(pastTheEnd.status, 1);
    EXPECT_TRUE(contains(pastTheEnd, "(-103)")) << pastTheEnd.output;

    EXPECT_EQ(halvekctl("--simulate raw 6 --data 1").status, 2) << "odd hex digits";
    EXPECT_EQ(halvekctl("--simulate raw 6 --data " + std::string(114, '0')).status, 2)
        << "57 bytes do not fit a frame";
    EXPECT_EQ(halvekctl("--simulate raw 256").status, 2);
    EXPECT_EQ(halvekctl("--simulate read flash").status, 2);
}

TEST_F(KeyboardCommands, RawPrintsTheReplyAndTraceTheFrames)
{
    const ProgramRun read = halvekctl("--simulate --trace raw 3 --length 8");
    ASSERT_EQ(read.status, 0) << read.output;
    EXPECT_TRUE(contains(read, "命令"));
    EXPECT_TRUE(contains(read, "返回"));
    EXPECT_TRUE(contains(read, "04 0b 00 03   08 00 00 00")) << read.output;
    EXPECT_TRUE(contains(read, "Status: success (1)"));
}

TEST_F(KeyboardCommands, ReadGivesJsonOfEachBlock)
{
    const ProgramRun layout = halvekctl("--simulate read layout --json");
    ASSERT_EQ(layout.status, 0) << layout.output;
    EXPECT_TRUE(contains(layout, "\"keySlots\" : 126"));
    const ProgramRun power = halvekctl("--simulate=receiver read power --json");
    ASSERT_EQ(power.status, 0) << power.output;
    EXPECT_TRUE(contains(power, "\"wireless\" : 1"));
    const ProgramRun leds = halvekctl("--simulate read ledmap");
    ASSERT_EQ(leds.status, 0) << leds.output;
    EXPECT_TRUE(contains(leds, "LED map (126 key slots)"));
}

TEST_F(KeyboardCommands, SimStateCarriesTheDeviceAcrossRunsAndSurvivesCorruption)
{
    const std::string state = (folder.path() / "keyboard.json").string();
    ASSERT_EQ(halvekctl("--simulate --sim-state " + state + " raw 6 --data 03").status, 0);
    const ProgramRun settings =
        halvekctl("--simulate --sim-state " + state + " read settings --json");
    ASSERT_EQ(settings.status, 0) << settings.output;
    EXPECT_TRUE(contains(settings, "\"activeSlot\" : 3")) << settings.output;

    {
        std::ofstream(state) << "{\"format\":\"halvek-devsim-keyboard\",\"version\":1,"
                                "\"areas\":{\"info\":\"zz\"}}";
    }
    const ProgramRun corrupt = halvekctl("--simulate --sim-state " + state + " read settings");
    EXPECT_EQ(corrupt.status, 0) << corrupt.output;
    EXPECT_TRUE(contains(corrupt, "not hexadecimal")) << corrupt.output;
    EXPECT_TRUE(contains(corrupt, "Active slot: 0"));
    std::ifstream in(state);
    std::stringstream kept;
    kept << in.rdbuf();
    EXPECT_TRUE(kept.str().find("zz") != std::string::npos) << "the corrupt file is left alone";
}

TEST_F(KeyboardCommands, TooManyKeySlotsStopTheFullReadWithAClearMessage)
{
    // 171 key slots would need a 513-byte block.
    const std::string state = (folder.path() / "big.json").string();
    {
        std::ofstream(state) << "{\"format\":\"halvek-devsim-keyboard\",\"version\":1,"
                                "\"areas\":{\"info\":\"7850020101ab20\"}}";
    }
    const ProgramRun info = halvekctl("--simulate --sim-state " + state + " info");
    EXPECT_EQ(info.status, 1);
    EXPECT_TRUE(contains(info, "171 key slots do not fit a 512-byte block")) << info.output;
    EXPECT_FALSE(contains(info, "Key layout"));
    const ProgramRun layout = halvekctl("--simulate --sim-state " + state + " read layout");
    EXPECT_EQ(layout.status, 1);
}

TEST_F(KeyboardCommands, HalvekctlSeesTheServedKeyboardPlugAndUnplug)
{
    if (!std::filesystem::exists(program("halvek-devsim")))
        GTEST_SKIP() << "halvek-devsim is not built";
    const std::string socket = (folder.path() / "devsim.sock").string();
    const std::string environment = "HALVEK_SIM_SOCKET=" + socket + " ";
    FILE* server =
        popen((environment + program("halvek-devsim").string() + " </dev/null").c_str(), "r");
    ASSERT_NE(server, nullptr);
    char line[256];
    ASSERT_NE(std::fgets(line, sizeof line, server), nullptr) << "the server did not start";
    EXPECT_TRUE(std::string(line).find("serving on") != std::string::npos) << line;

    const ProgramRun both =
        run(environment + program("halvekctl").string() + " --simulate=socket devices");
    EXPECT_EQ(both.status, 0);
    EXPECT_TRUE(contains(both, "pid_5078&mi_01&col04#sock&")) << both.output;
    EXPECT_TRUE(contains(both, "pid_5001&mi_01&col04#sock&"));

    const std::string ctl = environment + program("halvek-devsim").string() + " ctl ";
    EXPECT_EQ(run(ctl + "unplug cable").status, 0);
    const ProgramRun receiverOnly =
        run(environment + program("halvekctl").string() + " --simulate=socket info");
    EXPECT_EQ(receiverOnly.status, 0) << receiverOnly.output;
    EXPECT_TRUE(contains(receiverOnly, "Link: receiver"));
    EXPECT_EQ(run(ctl + "sleep").status, 0);
    const ProgramRun asleep =
        run(environment + program("halvekctl").string() + " --simulate=socket raw 1");
    EXPECT_EQ(asleep.status, 1);
    EXPECT_TRUE(contains(asleep, "(-101)")) << asleep.output;
    EXPECT_EQ(run(ctl + "fault nonsense").status, 1);

    EXPECT_EQ(run(ctl + "quit").status, 0);
    EXPECT_EQ(pclose(server), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
}

TEST_F(KeyboardCommands, LightFrameTakesOnlySixHexDigitsAsColour)
{
    // "-00001" once read as -1, that is white.
    EXPECT_EQ(halvekctl("light frame --mode 1 --color -00001 --json").status, 2);
    EXPECT_EQ(halvekctl("light frame --mode 1 --color 0x00ff --json").status, 2);
    EXPECT_EQ(halvekctl("light frame --mode 1 --color 00fF00 --json").status, 0);
}
