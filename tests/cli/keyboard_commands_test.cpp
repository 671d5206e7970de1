#include "support/device_server.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using testing_support::CommandRun;
using testing_support::shellWord;

CommandRun halvekctl(const std::string& arguments)
{
    return testing_support::runBuiltProgram("halvekctl", arguments);
}

bool contains(const CommandRun& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

class KeyboardCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::builtProgramExists("halvekctl"))
            GTEST_SKIP() << "halvekctl is not built";
    }
    testing_support::TempDir folder;
};

} // namespace

TEST_F(KeyboardCommands, InfoFindsEveryFactoryCodeInTheShuffledLayout)
{
    const CommandRun info = halvekctl("--simulate info");
    ASSERT_EQ(info.status, 0) << info.output;
    EXPECT_TRUE(contains(info, "78 50 02 01 01 7e 20 00")) << info.output;
    EXPECT_TRUE(contains(info, "Key slots: 126"));
    EXPECT_TRUE(contains(info, "Macro memory: 4096 bytes"));
    EXPECT_TRUE(contains(info, "Factory key codes found: 126 of 126"));

    const CommandRun receiver = halvekctl("--simulate=receiver info");
    ASSERT_EQ(receiver.status, 0) << receiver.output;
    EXPECT_TRUE(contains(receiver, "Link: receiver"));
}

TEST_F(KeyboardCommands, FailuresExitNonZeroNamingTheStatus)
{
    const CommandRun none = halvekctl("info");
    EXPECT_EQ(none.status, 1);
    // Nothing was asked of a device that is not there: no status to name, only what is missing.
    EXPECT_TRUE(contains(none, "no keyboard found: none of its interfaces is present"))
        << none.output;

    const CommandRun unknown = halvekctl("--simulate raw 0x42");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(contains(unknown, "device answered 0xFF (-102)")) << unknown.output;

    const CommandRun pastTheEnd = halvekctl("--simulate raw 6 --offset 600 --data 01");
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
    const CommandRun read = halvekctl("--simulate --trace raw 3 --length 8");
    ASSERT_EQ(read.status, 0) << read.output;
    EXPECT_TRUE(contains(read, "命令"));
    EXPECT_TRUE(contains(read, "返回"));
    EXPECT_TRUE(contains(read, "04 0b 00 03   08 00 00 00")) << read.output;
    EXPECT_TRUE(contains(read, "Status: success (1)"));
}

TEST_F(KeyboardCommands, ReadGivesJsonOfEachBlock)
{
    const CommandRun layout = halvekctl("--simulate read layout --json");
    ASSERT_EQ(layout.status, 0) << layout.output;
    EXPECT_TRUE(contains(layout, "\"keySlots\" : 126"));
    const CommandRun power = halvekctl("--simulate=receiver read power --json");
    ASSERT_EQ(power.status, 0) << power.output;
    EXPECT_TRUE(contains(power, "\"wireless\" : 1"));
    const CommandRun leds = halvekctl("--simulate read ledmap");
    ASSERT_EQ(leds.status, 0) << leds.output;
    EXPECT_TRUE(contains(leds, "LED map (126 key slots)"));
}

TEST_F(KeyboardCommands, SimStateCarriesTheDeviceAcrossRunsAndSurvivesCorruption)
{
    const auto statePath = folder / "keyboard.json";
    const std::string state = shellWord(statePath);
    ASSERT_EQ(halvekctl("--simulate --sim-state " + state + " raw 6 --data 03").status, 0);
    const CommandRun settings =
        halvekctl("--simulate --sim-state " + state + " read settings --json");
    ASSERT_EQ(settings.status, 0) << settings.output;
    EXPECT_TRUE(contains(settings, "\"activeSlot\" : 3")) << settings.output;

    {
        std::ofstream(statePath) << "{\"format\":\"halvek-devsim-keyboard\",\"version\":1,"
                                    "\"areas\":{\"info\":\"zz\"}}";
    }
    const CommandRun corrupt = halvekctl("--simulate --sim-state " + state + " read settings");
    EXPECT_EQ(corrupt.status, 0) << corrupt.output;
    EXPECT_TRUE(contains(corrupt, "not hexadecimal")) << corrupt.output;
    EXPECT_TRUE(contains(corrupt, "Active slot: 0"));
    std::ifstream in(statePath);
    std::stringstream kept;
    kept << in.rdbuf();
    EXPECT_TRUE(kept.str().find("zz") != std::string::npos) << "the corrupt file is left alone";
}

TEST_F(KeyboardCommands, TooManyKeySlotsStopTheFullReadWithAClearMessage)
{
    // 171 key slots would need a 513-byte block.
    const auto statePath = folder / "big.json";
    const std::string state = shellWord(statePath);
    {
        std::ofstream(statePath) << "{\"format\":\"halvek-devsim-keyboard\",\"version\":1,"
                                    "\"areas\":{\"info\":\"7850020101ab20\"}}";
    }
    const CommandRun info = halvekctl("--simulate --sim-state " + state + " info");
    EXPECT_EQ(info.status, 1);
    EXPECT_TRUE(contains(info, "171 key slots do not fit a 512-byte block")) << info.output;
    EXPECT_FALSE(contains(info, "Key layout"));
    const CommandRun layout = halvekctl("--simulate --sim-state " + state + " read layout");
    EXPECT_EQ(layout.status, 1);
}

TEST_F(KeyboardCommands, HalvekctlSeesTheServedKeyboardPlugAndUnplug)
{
    if (!testing_support::builtProgramExists("halvek-devsim"))
        GTEST_SKIP() << "halvek-devsim is not built";
    const auto socket = folder / "devsim.sock";
    testing_support::DeviceServer server(socket, {});
    ASSERT_TRUE(server.isServing()) << server.failure();

    const CommandRun both = halvekctl("--simulate=socket devices");
    EXPECT_EQ(both.status, 0);
    EXPECT_TRUE(contains(both, "pid_5078&mi_01&col04#sock&")) << both.output;
    EXPECT_TRUE(contains(both, "pid_5001&mi_01&col04#sock&"));

    EXPECT_EQ(server.control("unplug cable").status, 0);
    const CommandRun receiverOnly = halvekctl("--simulate=socket info");
    EXPECT_EQ(receiverOnly.status, 0) << receiverOnly.output;
    EXPECT_TRUE(contains(receiverOnly, "Link: receiver"));
    EXPECT_EQ(server.control("sleep").status, 0);
    const CommandRun asleep = halvekctl("--simulate=socket raw 1");
    EXPECT_EQ(asleep.status, 1);
    EXPECT_TRUE(contains(asleep, "(-101)")) << asleep.output;
    EXPECT_EQ(server.control("fault nonsense").status, 1);

    EXPECT_EQ(server.quit(), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
}

TEST_F(KeyboardCommands, LightFrameTakesOnlySixHexDigitsAsColour)
{
    // "-00001" once read as -1, that is white.
    EXPECT_EQ(halvekctl("light frame --mode 1 --color -00001 --json").status, 2);
    EXPECT_EQ(halvekctl("light frame --mode 1 --color 0x00ff --json").status, 2);
    EXPECT_EQ(halvekctl("light frame --mode 1 --color 00fF00 --json").status, 0);
}
