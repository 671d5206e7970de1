#include "app/main_audio.h"

#include "main_wnd_fixture.h"
#include "shell/peers.h"

#include "platform/event.h"
#include "platform/folders.h"
#include "platform/ipc.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::uint64_t kLevelPacket = 1;
constexpr std::uint64_t kColour = 2;

// A stand-in for the program's endpoint that keeps what the companion sends.
struct ProgramEnd {
    std::mutex lock;
    std::size_t levelPackets = 0;
    std::vector<std::array<std::int32_t, 6>> colours;

    void take(platform::IpcMessage&& message)
    {
        std::lock_guard guard(lock);
        if (message.copyDataId == kLevelPacket && message.data.size() == 2000)
            ++levelPackets;
        if (message.copyDataId == kColour && message.data.size() == 24) {
            std::array<std::int32_t, 6> values{};
            std::memcpy(values.data(), message.data.data(), sizeof values);
            colours.push_back(values);
        }
    }
};

fs::path script(const fs::path& folder, const std::string& name, const std::string& body)
{
    const fs::path file = folder / name;
    std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(file, fs::perms::owner_all);
    return file;
}

template <class Condition> bool within(std::chrono::milliseconds time, Condition condition)
{
    const auto end = Clock::now() + time;
    while (Clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

class MainAudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "runtime");
        fs::permissions(m_dir / "runtime", fs::perms::owner_all);
        auto folder = platform::instanceRuntimeFolder();
        ASSERT_TRUE(folder);
        m_program = std::make_unique<platform::IpcEndpoint>(*folder, L"MainWnd");
        ASSERT_TRUE(m_program->startReceiving(
            [this](platform::IpcMessage&& message) { m_received.take(std::move(message)); }));
    }

    app::MainAudio::Options options(const fs::path& program)
    {
        app::MainAudio::Options result;
        result.program = program;
        result.userFile = m_dir / "data" / "AudioFile.json";
        result.defaultFile =
            fs::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData" / "AudioFile.json";
        return result;
    }

    testing_support::TempDir m_dir;
    testing_support::ScopedEnvironment m_runtime{"XDG_RUNTIME_DIR", (m_dir / "runtime").string()};
    ProgramEnd m_received;
    std::unique_ptr<platform::IpcEndpoint> m_program;
};

} // namespace

TEST_F(MainAudioTest, LaunchesTheCompanionDrivesItsColourAndEndsItWithTheProgram)
{
    const std::string audio = std::string(HALVEK_BINARY_DIR) + "/halvek-audio";
    ASSERT_TRUE(fs::exists(audio));
    const fs::path sweep = m_dir / "sweep.wav";
    ASSERT_EQ(std::system((audio + " --make-sweep '" + sweep.string() + "'").c_str()), 0);
    // The companion as the program launches it, with a file in place of the sound card.
    const fs::path program =
        script(m_dir.path(), "companion", "exec '" + audio + "' --input '" + sweep.string() + "'");

    app::MainAudio main(m_program.get(), options(program));
    main.loadStyles();
    EXPECT_TRUE(fs::exists(m_dir / "data" / "AudioFile.json")); // the default became the user's
    EXPECT_EQ(main.startIfRunning(), app::MainAudio::Progress::Idle); // nothing to take up
    ASSERT_EQ(main.start(), app::MainAudio::Progress::Waiting);
    EXPECT_EQ(main.start(), app::MainAudio::Progress::Waiting); // not launched twice
    app::MainAudio::Progress progress = app::MainAudio::Progress::Waiting;
    ASSERT_TRUE(
        within(10s, [&] { return (progress = main.poll()) != app::MainAudio::Progress::Waiting; }));
    ASSERT_EQ(progress, app::MainAudio::Progress::Started);
    ASSERT_TRUE(within(10s, [&] {
        std::lock_guard guard(m_received.lock);
        return m_received.levelPackets > 5;
    }));
    // Started, nothing heard yet: missing only once the window has passed; sound heard
    // puts it off again.
    const auto now = Clock::now();
    EXPECT_FALSE(main.isSoundMissing(now, 4s));
    EXPECT_TRUE(main.isSoundMissing(now + 5s, 4s));
    main.noteSound(now + 3s);
    EXPECT_FALSE(main.isSoundMissing(now + 5s, 4s));
    EXPECT_TRUE(main.isSoundMissing(now + 8s, 4s));

    // The main page's sliders reach it: pure red from now on.
    EXPECT_TRUE(main.slider(L'R', 255));
    EXPECT_TRUE(main.slider(L'G', 0));
    EXPECT_TRUE(main.slider(L'B', 0));
    EXPECT_TRUE(within(10s, [&] {
        std::lock_guard guard(m_received.lock);
        return !m_received.colours.empty() && m_received.colours.back()[0] > 0 &&
               m_received.colours.back()[1] == 0 && m_received.colours.back()[2] == 0;
    }));

    // Paused, it stops sending; started again, it goes on.
    main.pause();
    EXPECT_FALSE(main.isWanted());
    EXPECT_FALSE(main.isSoundMissing(now + 60s, 4s)); // not wanted: nothing to say
    std::this_thread::sleep_for(300ms);
    const auto levelPacketsNow = [&] {
        std::lock_guard guard(m_received.lock);
        return m_received.levelPackets;
    };
    const std::size_t paused = levelPacketsNow();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(levelPacketsNow(), paused);
    EXPECT_EQ(main.start(), app::MainAudio::Progress::Started);
    EXPECT_TRUE(within(10s, [&] { return levelPacketsNow() > paused; }));

    // Told to quit, it ends by itself at once (status 0, no signal).
    const auto before = Clock::now();
    main.shutdown();
    EXPECT_LT(Clock::now() - before, 1500ms);
    EXPECT_FALSE(main.process().isRunning());
    EXPECT_EQ(main.process().exitStatus(), 0);
}

TEST_F(MainAudioTest, ASilentOrHungCompanionHoldsNothingUp)
{
    // Launched but never answering: given up after the answer time and ended.
    auto silent = options(script(m_dir.path(), "silent", "exec sleep 30"));
    silent.answerTime = 300ms;
    {
        app::MainAudio main(m_program.get(), silent);
        ASSERT_EQ(main.start(), app::MainAudio::Progress::Waiting);
        app::MainAudio::Progress progress = app::MainAudio::Progress::Waiting;
        ASSERT_TRUE(within(
            5s, [&] { return (progress = main.poll()) != app::MainAudio::Progress::Waiting; }));
        EXPECT_EQ(progress, app::MainAudio::Progress::Failed);
        EXPECT_FALSE(main.process().isRunning());
    }
    // A program that cannot be started is a failure, not a wait.
    {
        app::MainAudio main(m_program.get(), options(m_dir / "no-such-companion"));
        EXPECT_EQ(main.start(), app::MainAudio::Progress::Failed);
        EXPECT_FALSE(main.isWaiting());
    }

    // A companion that takes messages but never handles them: every command returns soon.
    auto folder = platform::instanceRuntimeFolder();
    ASSERT_TRUE(folder);
    platform::Event release(platform::Event::ResetPolicy::Manual);
    platform::IpcEndpoint hung(*folder, L"Halvek 2VAV IRIAUDIORECORD");
    ASSERT_TRUE(hung.startReceiving([&](platform::IpcMessage&&) { (void)release.waitFor(30s); }));
    {
        app::MainAudio main(m_program.get(), options(m_dir / "unused"));
        main.loadStyles();
        for (int i = 0; i < 20; ++i) {
            const auto before = Clock::now();
            main.slider(L'R', i);
            EXPECT_LT(Clock::now() - before, 1s) << i;
        }
        const auto before = Clock::now();
        EXPECT_NE(main.start(), app::MainAudio::Progress::Waiting); // it runs: nothing launched
        main.shutdown();
        EXPECT_LT(Clock::now() - before, 3s);
        EXPECT_FALSE(main.process().isStarted());
    }
    release.set();
    hung.stopReceiving();
}

// The window's side: a launch from the window, the timer that sees it answer, and the
// window's end that ends it, all within bounds.
class MainWindowAudioTest : public testing_support::MainWindowTest {};

TEST_F(MainWindowAudioTest, TheWindowLaunchesTheCompanionAndItsShutdownEndsIt)
{
    const std::string audio = std::string(HALVEK_BINARY_DIR) + "/halvek-audio";
    ASSERT_TRUE(fs::exists(audio));
    testing_support::ScopedEnvironment runtime("XDG_RUNTIME_DIR", (m_dir / "runtime").string());
    fs::create_directories(m_dir / "runtime");
    fs::permissions(m_dir / "runtime", fs::perms::owner_all);
    const fs::path sweep = m_dir / "sweep.wav";
    ASSERT_EQ(std::system((audio + " --make-sweep '" + sweep.string() + "'").c_str()), 0);
    m_companionProgram =
        script(m_dir.path(), "companion", "exec '" + audio + "' --input '" + sweep.string() + "'");
    auto folder = platform::instanceRuntimeFolder();
    ASSERT_TRUE(folder);
    platform::IpcEndpoint endpoint(*folder, L"MainWnd");
    shell::setPeerEndpoint(&endpoint);
    constexpr std::wstring_view kCompanion = L"Halvek 2VAV IRIAUDIORECORD";

    ASSERT_TRUE(open(true, nullptr, false));
    EXPECT_TRUE(fs::exists(m_dir / "data" / "AudioFile.json")); // the styles were loaded
    ASSERT_TRUE(window().audioStyles());
    window().startAudioCompanion();
    EXPECT_TRUE(ui().waitFor([&] { return endpoint.hasPeer(kCompanion); }, 10s));
    ui().waitFor([] { return false; }, 300ms); // the timer's look that sends the start
    const auto before = Clock::now();
    close();
    EXPECT_LT(Clock::now() - before, 3s);
    EXPECT_FALSE(endpoint.hasPeer(kCompanion));
    shell::setPeerEndpoint(nullptr);
}
