#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/single_instance.h"
#include "platform/text.h"

#include "platform/ipc_inbox.h"
#include "platform/peer_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>

using testing_support::IpcInbox;
using testing_support::TempDir;

namespace {

// Waits for the next message and checks its name; the message, or nullopt on failure.
std::optional<platform::IpcMessage> expectNext(IpcInbox& inbox, const std::wstring& name)
{
    auto message = inbox.next();
    EXPECT_TRUE(message) << "no message arrived";
    if (!message || message->name != name) {
        ADD_FAILURE() << "expected a message named " << platform::toUtf8(name);
        return std::nullopt;
    }
    return message;
}

} // namespace

TEST(IpcAcrossProcesses, MessagesAndCopyDataTravelBothWays)
{
    TempDir folder;
    IpcInbox inbox;
    platform::IpcEndpoint test(folder.path(), L"test");
    ASSERT_TRUE(test.startReceiving(inbox.handler()));
    const pid_t peer = testing_support::startPeer("echo", folder.path());
    ASSERT_GT(peer, 0);
    auto ready = expectNext(inbox, L"ready");
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->senderProcessId, peer);
    EXPECT_EQ(ready->senderName, L"peer");

    const std::vector<std::uint8_t> block{0xDE, 0xAD, 0xBE, 0xEF, 0x01};
    EXPECT_EQ(test.broadcast(L"{4695579F-999A-41d4-9FAF-EFFCE93EBF16}", 1, -1, block).value(), 1u);
    auto echoed = expectNext(inbox, L"{4695579F-999A-41d4-9FAF-EFFCE93EBF16}");
    ASSERT_TRUE(echoed);
    EXPECT_EQ(echoed->wParam, 1u);
    EXPECT_EQ(echoed->lParam, -1);
    EXPECT_EQ(echoed->data, block);

    std::vector<std::uint8_t> spectrum(platform::kMaxIpcDataSize);
    for (std::size_t i = 0; i < spectrum.size(); ++i)
        spectrum[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    EXPECT_EQ(test.postCopyData(L"peer", 42, 1, spectrum).value(), 1u);
    auto copy = inbox.next();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->kind, platform::IpcMessage::Kind::CopyData);
    EXPECT_EQ(copy->copyDataId, 1u);
    EXPECT_EQ(copy->wParam, 42u);
    EXPECT_EQ(copy->data, spectrum);

    EXPECT_EQ(test.post(L"peer", L"quit", 0, 0).value(), 1u);
    EXPECT_EQ(testing_support::waitForPeer(peer), 0);
    // Its socket went with it.
    EXPECT_FALSE(test.hasPeer(L"peer"));
}

TEST(SingleInstanceAcrossProcesses, SecondStartWakesTheFirstAndEnds)
{
    TempDir folder;
    platform::SingleInstance first;
    ASSERT_EQ(first.claim(folder.path(), platform::kInstanceIdentifier).value(),
              platform::SingleInstance::Claim::First);
    IpcInbox inbox;
    platform::IpcEndpoint window(folder.path(), std::wstring(platform::kInstanceIdentifier));
    ASSERT_TRUE(window.startReceiving(inbox.handler()));

    const pid_t second = testing_support::startPeer("instance", folder.path());
    ASSERT_GT(second, 0);
    EXPECT_EQ(testing_support::waitForPeer(second), testing_support::kPeerWokeFirst);
    auto wake = expectNext(inbox, std::wstring(platform::kInstanceIdentifier));
    ASSERT_TRUE(wake);
    EXPECT_EQ(wake->wParam, 0u);
    EXPECT_EQ(wake->lParam, 1);
    EXPECT_EQ(wake->senderProcessId, second);

    // After the first instance ends, the next start is the first again.
    first.release();
    const pid_t next = testing_support::startPeer("instance", folder.path());
    EXPECT_EQ(testing_support::waitForPeer(next), testing_support::kPeerFirst);
}

TEST(SingleInstanceAcrossProcesses, LockOfAKilledInstanceIsFree)
{
    TempDir folder;
    IpcInbox inbox;
    platform::IpcEndpoint test(folder.path(), L"test");
    ASSERT_TRUE(test.startReceiving(inbox.handler()));
    const pid_t holder = testing_support::startPeer("hold", folder.path());
    ASSERT_GT(holder, 0);
    ASSERT_TRUE(expectNext(inbox, L"ready"));

    platform::SingleInstance single;
    EXPECT_EQ(single.claim(folder.path(), platform::kInstanceIdentifier).value(),
              platform::SingleInstance::Claim::AnotherRuns);
    EXPECT_FALSE(single.isHeld());
    ::kill(holder, SIGKILL);
    EXPECT_EQ(testing_support::waitForPeer(holder), -SIGKILL);
    EXPECT_EQ(single.claim(folder.path(), platform::kInstanceIdentifier).value(),
              platform::SingleInstance::Claim::First);
    EXPECT_TRUE(single.isHeld());
}

TEST(SingleInstance, SecondClaimInTheSameProcessSeesTheFirst)
{
    TempDir folder;
    platform::SingleInstance first, second;
    ASSERT_EQ(first.claim(folder.path(), L"SPhalvek2vizudi").value(),
              platform::SingleInstance::Claim::First);
    EXPECT_EQ(second.claim(folder.path(), L"SPhalvek2vizudi").value(),
              platform::SingleInstance::Claim::AnotherRuns);
    first.release();
    EXPECT_EQ(second.claim(folder.path(), L"SPhalvek2vizudi").value(),
              platform::SingleInstance::Claim::First);
    platform::SingleInstance nowhere;
    EXPECT_FALSE(nowhere.claim(folder / "missing", L"SPhalvek2vizudi"));
}
