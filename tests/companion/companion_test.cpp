#include "companion/audio/companion_state.h"
#include "companion/audio/wav_file.h"

#include "platform/files.h"

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using companion::Command;

platform::IpcMessage command(Command which, std::int64_t value = 0)
{
    platform::IpcMessage message;
    message.name = std::wstring(companion::kCommandMessage);
    message.wParam = static_cast<std::uint64_t>(which);
    message.lParam = value;
    message.senderName = L"MainWnd2";
    return message;
}

TEST(CompanionState, CommandsStartStopAndColour)
{
    companion::CompanionState state;
    EXPECT_TRUE(state.isSending());
    state.handle(command(Command::Stop));
    EXPECT_FALSE(state.isSending());
    state.handle(command(Command::Hello, 1234));
    EXPECT_EQ(state.peer(), L"MainWnd2");
    state.handle(command(Command::Start));
    EXPECT_TRUE(state.isSending());
    EXPECT_TRUE(state.wake().waitFor(std::chrono::milliseconds(0)));

    // The style colour comes in 0 to 9 per component; out-of-range values are clamped.
    platform::IpcMessage style;
    style.kind = platform::IpcMessage::Kind::CopyData;
    style.copyDataId = companion::kStyleColourData;
    const std::int32_t values[10] = {9, 1, 42};
    style.data.resize(sizeof values);
    std::memcpy(style.data.data(), values, sizeof values);
    state.handle(style);
    EXPECT_EQ(state.colourPacket(1.0), (std::array<std::int32_t, 6>{255, 28, 255, 0, 0, 0}));
    // A short colour message changes nothing.
    style.data.resize(8);
    state.handle(style);
    EXPECT_EQ(state.colourPacket(1.0)[1], 28);
    state.handle(command(Command::Green, 999));
    state.handle(command(Command::Red, -5));
    EXPECT_EQ(state.colourPacket(0.5), (std::array<std::int32_t, 6>{0, 128, 128, 0, 0, 0}));

    state.handle(command(Command::Reset));
    EXPECT_TRUE(state.takeReset());
    EXPECT_FALSE(state.takeReset());
    state.handle(command(Command::Quit));
    EXPECT_TRUE(state.isQuitting());
}

TEST(CompanionState, ABurstOfCommandsDoesNotCutTheSleepShortButStopDoes)
{
    companion::CompanionState state;
    std::atomic<bool> done{false};
    std::thread burst([&] {
        while (!done.load())
            state.handle(command(Command::Red, 7));
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    state.sleepUntil(deadline);
    EXPECT_GE(std::chrono::steady_clock::now(), deadline);

    // Stop ends the sleep at once, long before its deadline.
    const auto far = std::chrono::steady_clock::now() + std::chrono::hours(1);
    std::thread stopper([&] { state.handle(command(Command::Stop)); });
    state.sleepUntil(far);
    EXPECT_FALSE(state.isSending());
    done = true;
    burst.join();
    stopper.join();
}

// halvek-audio --input of a sweep, received by a stand-in for the program.
TEST(CompanionProgram, SweepFileReachesTheProgramAsRisingBands)
{
    const std::string program = std::string(HALVEK_BINARY_DIR) + "/halvek-audio";
    ASSERT_TRUE(std::filesystem::exists(program));
    testing_support::TempDir folder;
    testing_support::ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.path().string());
    const auto sweep = folder / "sweep.wav";
    ASSERT_TRUE(platform::writeFileAtomically(
        sweep, companion::encodeWav(companion::makeSweep(44100, 2, 100, 8000))));

    std::mutex lock;
    std::vector<std::vector<std::uint8_t>> spectra;
    std::size_t colours = 0;
    const auto instance = folder / "SPhalvek2vizudi";
    std::filesystem::create_directories(instance);
    std::filesystem::permissions(instance, std::filesystem::perms::owner_all);
    platform::IpcEndpoint mainWindow(instance, std::wstring(companion::kProgramEndpoint));
    ASSERT_TRUE(mainWindow.startReceiving([&](platform::IpcMessage&& message) {
        std::lock_guard guard(lock);
        if (message.copyDataId == companion::kSpectrumData)
            spectra.push_back(std::move(message.data));
        else if (message.copyDataId == companion::kColourData && message.data.size() == 24)
            ++colours;
    }));
    const std::string run = program + " --input '" + sweep.string() + "' --fast";
    ASSERT_EQ(std::system(run.c_str()), 0);
    mainWindow.stopReceiving();

    std::lock_guard guard(lock);
    // 2 s at 44.1 kHz in hops of 1024; a packet may be skipped when the receiver lags.
    ASSERT_GT(spectra.size(), 60u);
    EXPECT_EQ(colours, spectra.size());
    auto loudestBand = [](const std::vector<std::uint8_t>& bytes) {
        std::vector<std::int32_t> values(bytes.size() / 4);
        std::memcpy(values.data(), bytes.data(), values.size() * 4);
        std::size_t best = 0;
        std::int64_t bestSum = -1;
        for (std::size_t band = 0; band < 25; ++band) {
            std::int64_t sum = 0;
            for (std::size_t i = 0; i < 20; ++i)
                sum += values[band * 20 + i];
            if (sum > bestSum) {
                bestSum = sum;
                best = band;
            }
        }
        return best;
    };
    for (const auto& packet : spectra)
        ASSERT_EQ(packet.size(), 2000u);
    EXPECT_LT(loudestBand(spectra[5]), loudestBand(spectra[spectra.size() / 2]));
    EXPECT_LT(loudestBand(spectra[spectra.size() / 2]), loudestBand(spectra[spectra.size() - 2]));
}

// The program's quit command ends a companion that is playing a file at its own pace,
// long before the file's end.
TEST(CompanionProgram, QuitCommandEndsIt)
{
    const std::string program = std::string(HALVEK_BINARY_DIR) + "/halvek-audio";
    testing_support::TempDir folder;
    testing_support::ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.path().string());
    const auto sweep = folder / "sweep.wav";
    ASSERT_TRUE(platform::writeFileAtomically(
        sweep, companion::encodeWav(companion::makeSweep(44100, 20, 100, 8000))));
    const auto instance = folder / "SPhalvek2vizudi";
    std::filesystem::create_directories(instance);
    std::filesystem::permissions(instance, std::filesystem::perms::owner_all);

    platform::Event firstPacket(platform::Event::ResetPolicy::Manual);
    std::atomic<std::size_t> packets{0};
    platform::IpcEndpoint mainWindow(instance, std::wstring(companion::kProgramEndpoint));
    ASSERT_TRUE(mainWindow.startReceiving([&](platform::IpcMessage&& message) {
        if (message.copyDataId == companion::kSpectrumData) {
            ++packets;
            firstPacket.set();
        }
    }));
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(program.c_str(), program.c_str(), "--input", sweep.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(firstPacket.waitFor(std::chrono::seconds(10)));
    // The companion is found by its name, as the program finds its window.
    EXPECT_TRUE(mainWindow.hasPeer(companion::kCompanionEndpoint));
    for (Command step : {Command::Stop, Command::Release, Command::Quit}) {
        const auto taken =
            mainWindow.post(companion::kCompanionEndpoint, companion::kCommandMessage,
                            static_cast<std::uint64_t>(step), 0);
        ASSERT_TRUE(taken) << taken.error().message;
        EXPECT_EQ(*taken, 1u);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    mainWindow.stopReceiving();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // 20 s of sound would be 861 packets.
    EXPECT_LT(packets.load(), 400u);
}

} // namespace
