#include "support/device_server.h"
#include "support/run_command.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::CommandRun;
using testing_support::shellWord;

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool contains(const CommandRun& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

// halvekctl with its own data folder and emulated keyboard state in a temporary folder.
class ApplyCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::builtProgramExists("halvekctl"))
            GTEST_SKIP() << "halvekctl is not built";
    }

    CommandRun halvekctl(const std::string& globals, const std::string& command)
    {
        return testing_support::runBuiltProgram("halvekctl", globals + " " + command +
                                                                 " --data-dir " + dataFolder());
    }
    std::string dataFolder() const { return shellWord(folder / "data"); }
    std::string simulated() const
    {
        return "--simulate --sim-state " + shellWord(folder / "kb.state");
    }

    // The one profile file of the keyboard's data folder.
    std::filesystem::path profileFile() const
    {
        for (const auto& entry :
             std::filesystem::directory_iterator(folder / "data" / "keyboard")) {
            if (entry.path().extension() == ".Json")
                return entry.path();
        }
        return {};
    }

    testing_support::TempDir folder;
};

std::string withoutSpaces(std::string text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' '; }),
               text.end());
    return text;
}

} // namespace

TEST_F(ApplyCommands, ApplyWritesTheProfileAndStateFindsNothingChanged)
{
    const CommandRun apply = halvekctl(simulated(), "apply");
    ASSERT_EQ(apply.status, 0) << apply.output;
    for (const char* step :
         {"full read", "macros", "key map", "slot record", "custom colours", "lighting", "total"})
        EXPECT_TRUE(contains(apply, step)) << step << "\n" << apply.output;
    EXPECT_TRUE(contains(apply, "frames"));
    const std::string profile = fileBytes(profileFile());

    const CommandRun state = halvekctl(simulated(), "state");
    ASSERT_EQ(state.status, 0) << state.output;
    EXPECT_TRUE(contains(state, "nothing changed")) << state.output;
}

// The settings read back go into the profile file; when it cannot take them, "state" says
// so and fails instead of passing for done.
TEST_F(ApplyCommands, AStateWhoseSaveFailsExitsNonZeroSayingSo)
{
    ASSERT_EQ(halvekctl(simulated(), "apply").status, 0);
    const std::filesystem::path file = profileFile();
    ASSERT_FALSE(file.empty());
    // A folder where the file was: no save can replace it, whoever runs the test.
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    const CommandRun state = halvekctl(simulated(), "state");
    EXPECT_EQ(state.status, 1) << state.output;
    EXPECT_TRUE(contains(state, "the settings read were not saved")) << state.output;
}

TEST_F(ApplyCommands, AKeySetToCtrlCTravelsInTheKeyMapChunk)
{
    ASSERT_EQ(halvekctl("", "key set 0 Ctrl+C").status, 0);
    const CommandRun apply = halvekctl(simulated() + " --trace", "apply");
    ASSERT_EQ(apply.status, 0) << apply.output;
    // Position 0 (Esc) sits at a shuffled slot; its three bytes go out with the key map.
    const std::size_t keyMap = apply.output.find("key map: ");
    ASSERT_NE(keyMap, std::string::npos);
    const std::size_t macros = apply.output.rfind("macros: ", keyMap);
    ASSERT_NE(macros, std::string::npos);
    const std::string chunks = withoutSpaces(apply.output.substr(macros, keyMap - macros));
    EXPECT_NE(chunks.find("200106"), std::string::npos) << apply.output;
}

TEST_F(ApplyCommands, UnknownDevicesAndArgumentsAreRefused)
{
    const CommandRun extra = halvekctl(simulated(), "apply now");
    EXPECT_EQ(extra.status, 2);
    const CommandRun headset = halvekctl(simulated(), "apply --device HD");
    EXPECT_EQ(headset.status, 1);
    EXPECT_TRUE(contains(headset, "HD")) << headset.output;
    // The device may also come before the command, with the other global options.
    const CommandRun before = halvekctl(simulated() + " --device HD", "apply");
    EXPECT_EQ(before.status, 1);
    EXPECT_TRUE(contains(before, "HD")) << before.output;
    const CommandRun none = halvekctl("", "apply");
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none, "no keyboard found")) << none.output;
    const CommandRun light = halvekctl(simulated(), "light run --seconds 1");
    EXPECT_EQ(light.status, 2) << light.output;
}

TEST_F(ApplyCommands, LightRunStreamsAndReportsItsFigures)
{
    const CommandRun run = halvekctl(simulated(), "light run --mode 4 --seconds 1");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run, "frames sent")) << run.output;
    // How many go out depends on the machine's load; that belongs to the benchmark.
    EXPECT_TRUE(contains(run, "frames dropped")) << run.output;
    EXPECT_FALSE(contains(run, "frames sent       0 ")) << run.output;
    EXPECT_TRUE(contains(run, "of one core"));
}

TEST_F(ApplyCommands, DeviceFaultsNameDeviceStepAndStatusAndKeepTheProfile)
{
    if (!testing_support::builtProgramExists("halvek-devsim"))
        GTEST_SKIP() << "halvek-devsim is not built";
    testing_support::DeviceServer server(folder / "devsim.sock", {});
    ASSERT_TRUE(server.isServing()) << server.failure();
    const auto ctl = [&](const std::string& line) { return server.control(line).status; };
    const auto apply = [&] { return halvekctl("--simulate=socket", "apply"); };

    ASSERT_EQ(apply().status, 0);
    const std::string before = fileBytes(profileFile());
    ASSERT_EQ(ctl("fault status-ff 1000"), 0);
    const CommandRun failed = apply();
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(contains(failed, "halvekctl apply: keyboard: full read failed: ")) << failed.output;
    EXPECT_TRUE(contains(failed, "(-102)")) << failed.output;
    EXPECT_EQ(fileBytes(profileFile()), before);

    ASSERT_EQ(ctl("fault clear"), 0);
    ASSERT_EQ(ctl("unplug cable"), 0);
    ASSERT_EQ(ctl("sleep"), 0);
    const CommandRun asleep = apply();
    EXPECT_EQ(asleep.status, 1);
    EXPECT_TRUE(contains(asleep, "(-101)")) << asleep.output;
    EXPECT_EQ(fileBytes(profileFile()), before);

    EXPECT_EQ(server.quit(), 0);
}

// Each failure names what happened, not the words of a neighbouring one.
TEST_F(ApplyCommands, FailuresSayWhatHappened)
{
    if (!testing_support::builtProgramExists("halvek-devsim"))
        GTEST_SKIP() << "halvek-devsim is not built";
    // The keyboard's data folder a link to nowhere: it can be neither made nor written.
    std::filesystem::create_directories(folder / "unmade");
    std::error_code linked;
    std::filesystem::create_directory_symlink(folder / "gone", folder / "unmade" / "keyboard",
                                              linked);
    const std::string data = " --data-dir " + dataFolder();
    const struct {
        const char* what;
        const char* fault; // for a served keyboard; null: no server listens
        std::string arguments;
        int status;
        const char* says;
        const char* saysNot;
    } cases[] = {
        {"no emulator listening", nullptr, "--simulate=socket apply" + data, 1,
         "no keyboard found: no halvek-devsim is listening on ", "channel closed"},
        {"no emulator to list", nullptr, "--simulate=socket devices", 1,
         "halvekctl devices: no halvek-devsim is listening on ", "channel closed"},
        {"a full read answered for another program", "fault foreign-offset 1000",
         "--simulate=socket apply" + data, 1, "full read failed: channel closed or no reply",
         "no key slots"},
        {"a data folder that cannot be made", nullptr,
         "profile add --data-dir " + shellWord(folder / "unmade"), 1,
         "could not be saved. Check that the data folder can be written", "Another Halvek"},
    };
    for (const auto& failure : cases) {
        SCOPED_TRACE(failure.what);
        if (linked && failure.arguments.starts_with("profile"))
            continue; // no links here (Windows without the right to make them)
        std::optional<testing_support::DeviceServer> server;
        std::optional<testing_support::ScopedEnvironment> nowhere;
        if (failure.fault) {
            server.emplace(folder / "devsim.sock", std::vector<std::string>{});
            ASSERT_TRUE(server->isServing()) << server->failure();
            ASSERT_EQ(server->control(failure.fault).status, 0);
        } else {
            nowhere.emplace("HALVEK_SIM_SOCKET", (folder / "nobody.sock").string());
        }
        const CommandRun run = testing_support::runBuiltProgram("halvekctl", failure.arguments);
        EXPECT_EQ(run.status, failure.status) << run.output;
        EXPECT_TRUE(contains(run, failure.says)) << run.output;
        EXPECT_FALSE(contains(run, failure.saysNot)) << run.output;
        if (server) {
            EXPECT_EQ(server->quit(), 0);
        }
    }
}

// halvek-devsim serving the emulated keyboard, with the programs that share it.
class SharedDevice : public ApplyCommands {
protected:
    void SetUp() override
    {
        ApplyCommands::SetUp();
        if (IsSkipped())
            return;
        if (!testing_support::builtProgramExists("halvek-devsim"))
            GTEST_SKIP() << "halvek-devsim is not built";
        // A runtime folder of the test's own: the device locks live there.
        std::filesystem::create_directories(folder / "run");
        std::filesystem::permissions(folder / "run", std::filesystem::perms::owner_all);
        runtime = std::make_unique<testing_support::ScopedEnvironment>("XDG_RUNTIME_DIR",
                                                                       (folder / "run").string());
        server = std::make_unique<testing_support::DeviceServer>(folder / "devsim.sock",
                                                                 std::vector<std::string>{});
        ASSERT_TRUE(server->isServing()) << server->failure();
    }
    void TearDown() override
    {
        if (server && server->isServing()) {
            EXPECT_EQ(control("quit"), "bye\n");
            EXPECT_EQ(server->waitForEnd(), 0);
        }
    }

    // Starts halvekctl on the served keyboard; finish() collects it.
    testing_support::StartedCommand start(const std::string& command)
    {
        return testing_support::startBuiltProgram("halvekctl", "--simulate=socket " + command +
                                                                   " --data-dir " + dataFolder());
    }
    CommandRun apply() { return start("apply").finish(); }
    std::string control(const std::string& line) { return server->control(line).output; }
    std::string written()
    {
        return control("dump keymap") + control("dump settings") + control("dump colours");
    }

    std::unique_ptr<testing_support::ScopedEnvironment> runtime;
    std::unique_ptr<testing_support::DeviceServer> server;
};

TEST_F(SharedDevice, ConcurrentAppliesBesideAStreamLeaveTheBytesOfARunAlone)
{
    ASSERT_EQ(apply().status, 0);
    const std::string alone = written();
    ASSERT_FALSE(alone.empty());

    auto stream = start("light run --mode 4 --seconds 3");
    std::vector<testing_support::StartedCommand> applies;
    for (int i = 0; i < 4; ++i)
        applies.push_back(start("apply"));
    for (auto& started : applies) {
        const CommandRun run = started.finish();
        // Success, or a refusal that names the holder; never a quiet success of other bytes.
        if (run.status != 0) {
            EXPECT_TRUE(contains(run, "device held by") && contains(run, "(pid ")) << run.output;
        }
    }
    const CommandRun streamed = stream.finish();
    EXPECT_EQ(streamed.status, 0) << streamed.output;
    EXPECT_FALSE(contains(streamed, "frames sent       0 ")) << streamed.output;
    EXPECT_EQ(written(), alone);
}

TEST_F(SharedDevice, TwoAppliesOfDifferentProfilesLeaveOneOfThemWhole)
{
    // A second data folder whose profile differs in the key map and the slot record.
    const std::string other = " --data-dir " + shellWord(folder / "other");
    const auto inOther = [&](const std::string& command) {
        return testing_support::startBuiltProgram("halvekctl",
                                                  "--simulate=socket " + command + other);
    };
    ASSERT_EQ(inOther("key set 0 Ctrl+C").finish().status, 0);
    ASSERT_EQ(inOther("light set --mode 3 --color FF0000").finish().status, 0);
    ASSERT_EQ(control("timing on"), "USB timing on\n");
    ASSERT_EQ(apply().status, 0);
    const std::string first = written();
    ASSERT_EQ(inOther("apply").finish().status, 0);
    const std::string second = written();
    ASSERT_NE(first, second);
    (void)control("senders");

    int mixed = 0;
    int interleaved = 0;
    for (int trial = 0; trial < 20; ++trial) {
        auto one = start("apply");
        auto two = inOther("apply");
        const CommandRun runs[] = {one.finish(), two.finish()};
        for (const CommandRun& run : runs)
            EXPECT_TRUE(run.status == 0 || contains(run, "device held by")) << run.output;
        const std::string now = written();
        mixed += now != first && now != second ? 1 : 0;
        // Each program's requests in one run: the other's come before or after, never
        // between. The sender that came back is the one whose apply was cut.
        std::istringstream senders(control("senders"));
        std::vector<int> order;
        for (int sender = 0; senders >> sender;) {
            std::string command;
            senders >> command;
            if (order.empty() || order.back() != sender)
                order.push_back(sender);
        }
        interleaved += std::set<int>(order.begin(), order.end()).size() != order.size() ? 1 : 0;
    }
    EXPECT_EQ(mixed, 0) << "of 20 trials left the device holding neither profile";
    EXPECT_EQ(interleaved, 0) << "of 20 trials had one apply's requests between the other's";
}

TEST_F(SharedDevice, AForeignReplyToTheInformationBlockWritesNothing)
{
    ASSERT_EQ(apply().status, 0);
    const std::string before = written();
    // The key map's own read of the information block is answered for another program.
    ASSERT_EQ(control("fault foreign-offset 1000").rfind("error", 0), std::string::npos);
    const CommandRun run = apply();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(contains(run, "full read failed")) << run.output;
    ASSERT_EQ(control("fault clear").rfind("error", 0), std::string::npos);
    EXPECT_EQ(written(), before);
}

TEST_F(SharedDevice, AKeyboardLeavingMidRunFailsTheLightRun)
{
    ASSERT_EQ(apply().status, 0);
    // The first live frame of more than one chunk takes the cable with it.
    ASSERT_EQ(control("fault unplug-mid-write").rfind("error", 0), std::string::npos);
    const CommandRun run = start("light run --mode 4 --seconds 1").finish();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(contains(run, "went away during the run")) << run.output;
}
