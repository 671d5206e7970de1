// halvekctl game and feed against a receiving endpoint standing in for the running halvek.
#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/ipc_inbox.h"
#include "support/run_command.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using testing_support::runBuiltProgram;

namespace {

class FeedCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::builtProgramExists("halvekctl"))
            GTEST_SKIP() << "halvekctl is not built";
    }

    testing_support::TempDir m_runtime;
    testing_support::ScopedEnvironment m_environment{"XDG_RUNTIME_DIR", m_runtime.path().string()};
};

} // namespace

TEST_F(FeedCommands, GameEventsAndSpectrumPacketsArriveExactlyAsSent)
{
    EXPECT_EQ(runBuiltProgram("halvekctl", "game start 0 23").output,
              "halvekctl: halvek is not running\n");

    const auto folder = platform::instanceRuntimeFolder();
    ASSERT_TRUE(folder);
    platform::IpcEndpoint receiver(*folder, L"MainWnd");
    testing_support::IpcInbox inbox;
    ASSERT_TRUE(receiver.startReceiving(inbox.handler()));

    ASSERT_EQ(runBuiltProgram("halvekctl", "game start 0 23").status, 0);
    ASSERT_EQ(runBuiltProgram("halvekctl", "game death 2 -5").status, 0);
    auto start = inbox.next();
    auto death = inbox.next();
    ASSERT_TRUE(start && death);
    EXPECT_EQ(start->kind, platform::IpcMessage::Kind::Registered);
    EXPECT_EQ(start->name, L"Game_Start");
    EXPECT_EQ(start->wParam, 0u);
    EXPECT_EQ(start->lParam, 23);
    EXPECT_EQ(death->name, L"Game_Death");
    EXPECT_EQ(death->wParam, 2u);
    EXPECT_EQ(death->lParam, -5);

    // A packet and a half: the second block is sent as short as it is.
    std::vector<std::uint8_t> bytes(3000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    std::ofstream(m_runtime / "samples.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    const auto fed =
        runBuiltProgram("halvekctl", "feed spectrum --interval 0 --file " +
                                         testing_support::shellWord(m_runtime / "samples.bin"));
    ASSERT_EQ(fed.status, 0) << fed.output;
    const auto first = inbox.next();
    const auto second = inbox.next();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->kind, platform::IpcMessage::Kind::CopyData);
    EXPECT_EQ(first->copyDataId, 1u);
    EXPECT_EQ(first->data, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 2000));
    EXPECT_EQ(second->data, std::vector<std::uint8_t>(bytes.begin() + 2000, bytes.end()));

    ASSERT_EQ(
        runBuiltProgram("halvekctl", "feed spectrum --sine 440 --packets 2 --interval 0").status,
        0);
    for (int packet = 0; packet < 2; ++packet) {
        const auto tone = inbox.next();
        ASSERT_TRUE(tone);
        EXPECT_EQ(tone->copyDataId, 1u);
        ASSERT_EQ(tone->data.size(), 2000u);
        EXPECT_TRUE(std::any_of(tone->data.begin(), tone->data.end(), [](auto b) { return b; }));
    }

    EXPECT_EQ(runBuiltProgram("halvekctl", "game pause 0 1").status, 2);
    EXPECT_EQ(runBuiltProgram("halvekctl", "feed spectrum --sine 0").status, 2);
    EXPECT_EQ(inbox.count(), 6u); // refusals sent nothing
}
