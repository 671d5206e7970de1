#include "platform/ipc.h"

#include "platform/debug_output.h"
#include "platform/ipc_datagram.h"

#include "platform/ipc_inbox.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::IpcInbox;
using testing_support::TempDir;

namespace {

const std::wstring kLightingMessage = L"{4695579F-999A-41d4-9FAF-EFFCE93EBF16}";

platform::IpcMessage named(const wchar_t* name)
{
    platform::IpcMessage message;
    message.name = name;
    return message;
}

std::vector<fs::path> socketsIn(const fs::path& folder)
{
    std::vector<fs::path> sockets;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".sock")
            sockets.push_back(entry.path());
    }
    return sockets;
}

sockaddr_un addressOf(const fs::path& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

// Writes raw bytes to a socket file, as a confused or hostile local program might.
void sendRaw(const fs::path& socketFile, const std::vector<std::uint8_t>& bytes)
{
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    const int bufferSize = 1 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
    const auto address = addressOf(socketFile);
    EXPECT_EQ(::sendto(fd, bytes.data(), bytes.size(), 0,
                       reinterpret_cast<const sockaddr*>(&address), sizeof address),
              static_cast<ssize_t>(bytes.size()))
        << std::strerror(errno);
    ::close(fd);
}

class IpcTest : public ::testing::Test {
protected:
    TempDir m_folder;
};

} // namespace

TEST_F(IpcTest, BroadcastReachesEveryOtherEndpointButNotItsSender)
{
    IpcInbox first, second;
    platform::IpcEndpoint a(m_folder.path(), L"first"), b(m_folder.path(), L"second");
    const platform::IpcEndpoint sendOnly(m_folder.path(), L"sender");
    ASSERT_TRUE(a.startReceiving(first.handler()));
    ASSERT_TRUE(b.startReceiving(second.handler()));

    EXPECT_EQ(sendOnly.broadcast(kLightingMessage, 1, 1).value(), 2u);
    for (IpcInbox* inbox : {&first, &second}) {
        auto message = inbox->next();
        ASSERT_TRUE(message);
        EXPECT_EQ(message->kind, platform::IpcMessage::Kind::Registered);
        EXPECT_EQ(message->name, kLightingMessage);
        EXPECT_EQ(message->wParam, 1u);
        EXPECT_EQ(message->lParam, 1);
        EXPECT_TRUE(message->data.empty());
        EXPECT_EQ(message->senderName, L"sender");
        EXPECT_EQ(message->senderProcessId, ::getpid());
    }

    EXPECT_EQ(a.broadcast(L"from first", 2, -3).value(), 1u);
    ASSERT_TRUE(second.next());
    // Queued after anything first could have sent itself: the next message it sees.
    ASSERT_EQ(sendOnly.post(L"first", L"marker", 0, 0).value(), 1u);
    EXPECT_EQ(first.next()->name, L"marker");
}

TEST_F(IpcTest, PostReachesOnlyTheNamedPeer)
{
    IpcInbox tool, other;
    platform::IpcEndpoint workTool(m_folder.path(), L"WorkTool");
    platform::IpcEndpoint bystander(m_folder.path(), L"WorkTool2");
    const platform::IpcEndpoint sender(m_folder.path(), L"SPhalvek2vizudi");
    ASSERT_TRUE(workTool.startReceiving(tool.handler()));
    ASSERT_TRUE(bystander.startReceiving(other.handler()));

    EXPECT_TRUE(sender.hasPeer(L"worktool"));
    EXPECT_FALSE(sender.hasPeer(L"AudioRecord"));
    EXPECT_EQ(sender.post(L"AudioRecord", L"x", 0, 0).value(), 0u);
    EXPECT_EQ(sender.post(L"worktool", L"to the tool", 5, 6).value(), 1u);
    EXPECT_EQ(tool.next()->name, L"to the tool");
    ASSERT_EQ(sender.post(L"WorkTool2", L"marker", 0, 0).value(), 1u);
    EXPECT_EQ(other.next()->name, L"marker");
}

TEST_F(IpcTest, CopyDataArrivesWithExactlyTheBytesSent)
{
    IpcInbox inbox;
    platform::IpcEndpoint receiver(m_folder.path(), L"receiver");
    const platform::IpcEndpoint sender(m_folder.path(), L"companion");
    ASSERT_TRUE(receiver.startReceiving(inbox.handler()));

    // Short payloads stay short: the receiver learns the true size, never a padded one.
    for (std::size_t size :
         {std::size_t{0}, std::size_t{3}, std::size_t{2000}, platform::kMaxIpcDataSize}) {
        std::vector<std::uint8_t> data(size);
        for (std::size_t i = 0; i < size; ++i)
            data[i] = static_cast<std::uint8_t>(i * 7);
        ASSERT_EQ(sender.postCopyData(L"receiver", 0x1234, 1, data).value(), 1u) << size;
        auto message = inbox.next();
        ASSERT_TRUE(message) << size;
        EXPECT_EQ(message->kind, platform::IpcMessage::Kind::CopyData);
        EXPECT_TRUE(message->name.empty());
        EXPECT_EQ(message->copyDataId, 1u);
        EXPECT_EQ(message->wParam, 0x1234u);
        EXPECT_EQ(message->data, data);
    }
}

TEST_F(IpcTest, DataOverTheLimitIsRefusedAndNothingIsSent)
{
    IpcInbox inbox;
    platform::IpcEndpoint receiver(m_folder.path(), L"receiver");
    const platform::IpcEndpoint sender(m_folder.path(), L"sender");
    ASSERT_TRUE(receiver.startReceiving(inbox.handler()));
    const std::vector<std::uint8_t> data(platform::kMaxIpcDataSize + 1);
    auto sent = sender.broadcast(L"big", 0, 0, data);
    ASSERT_FALSE(sent);
    EXPECT_EQ(sent.error().code, platform::Error::Code::TooLarge);
    EXPECT_FALSE(sender.postCopyData(L"receiver", 0, 1, data));
    ASSERT_EQ(sender.post(L"receiver", L"marker", 0, 0).value(), 1u);
    EXPECT_EQ(inbox.next()->name, L"marker");
}

TEST_F(IpcTest, MalformedAndOversizedDatagramsAreDroppedAndListeningGoesOn)
{
    IpcInbox inbox;
    platform::IpcEndpoint receiver(m_folder.path(), L"receiver");
    ASSERT_TRUE(receiver.startReceiving(inbox.handler()));
    const auto socketFile = socketsIn(m_folder.path()).at(0);
    platform::clearDebugLines();

    sendRaw(socketFile, {1, 2, 3, 4, 5});
    auto valid = platform::encodeIpcDatagram(named(L"ok"), L"", L"raw");
    ASSERT_TRUE(valid);
    auto cutShort = *valid;
    cutShort.pop_back();
    sendRaw(socketFile, cutShort);
    sendRaw(socketFile, std::vector<std::uint8_t>(platform::kMaxIpcDatagramSize + 4096, 0x55));
    sendRaw(socketFile, platform::encodeIpcDatagram(named(L"misrouted"), L"else", L"raw").value());
    sendRaw(socketFile, *valid);

    auto message = inbox.next();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->name, L"ok");
    EXPECT_EQ(inbox.count(), 1u);
    EXPECT_TRUE(platform::debugLinesContain(L"datagram of 5 bytes dropped"));
    EXPECT_TRUE(platform::debugLinesContain(L"datagram of " + std::to_wstring(valid->size() - 1) +
                                            L" bytes dropped"));
    EXPECT_TRUE(platform::debugLinesContain(L"datagram of " +
                                            std::to_wstring(platform::kMaxIpcDatagramSize + 4096) +
                                            L" bytes dropped"));
    EXPECT_TRUE(platform::debugLinesContain(L"message for \"else\""));
}

TEST_F(IpcTest, StaleSocketOfADeadProcessIsRemoved)
{
    // What a crashed instance leaves: a socket file nobody listens on.
    const auto stale = m_folder / "999999-0-0123456789abcdef.sock";
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    const auto address = addressOf(stale);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(fs::exists(stale));

    const platform::IpcEndpoint sender(m_folder.path(), L"sender");
    EXPECT_EQ(sender.broadcast(L"anyone", 0, 0).value(), 0u);
    EXPECT_FALSE(fs::exists(stale));
}

TEST_F(IpcTest, SocketIsOwnerOnlyAndGoesWhenReceivingStops)
{
    IpcInbox inbox;
    platform::IpcEndpoint receiver(m_folder.path(), L"receiver");
    const platform::IpcEndpoint sender(m_folder.path(), L"sender");
    EXPECT_TRUE(socketsIn(m_folder.path()).empty()); // sending needs no socket file
    ASSERT_TRUE(receiver.startReceiving(inbox.handler()));
    EXPECT_FALSE(receiver.startReceiving(inbox.handler()));
    const auto sockets = socketsIn(m_folder.path());
    ASSERT_EQ(sockets.size(), 1u);
    struct stat info {};
    ASSERT_EQ(::stat(sockets[0].c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    EXPECT_TRUE(receiver.stopReceiving(10s));
    EXPECT_TRUE(socketsIn(m_folder.path()).empty());
    EXPECT_FALSE(sender.hasPeer(L"receiver"));
    ASSERT_TRUE(receiver.startReceiving(inbox.handler()));
    ASSERT_EQ(sender.post(L"receiver", L"again", 0, 0).value(), 1u);
    EXPECT_EQ(inbox.next()->name, L"again");
}

TEST_F(IpcTest, ListenerBusyInItsHandlerIsLeftToEnd)
{
    platform::Event entered(platform::Event::ResetPolicy::Manual);
    platform::Event release(platform::Event::ResetPolicy::Manual);
    platform::Event left(platform::Event::ResetPolicy::Manual);
    {
        platform::IpcEndpoint receiver(m_folder.path(), L"receiver");
        const platform::IpcEndpoint sender(m_folder.path(), L"sender");
        ASSERT_TRUE(receiver.startReceiving([&](platform::IpcMessage&&) {
            entered.set();
            (void)release.waitFor(10s);
            left.set();
        }));
        ASSERT_EQ(sender.post(L"receiver", L"hold", 0, 0).value(), 1u);
        ASSERT_TRUE(entered.waitFor(10s));
        EXPECT_FALSE(receiver.stopReceiving(1ms));
        EXPECT_FALSE(receiver.isReceiving());
    }
    // The endpoint is gone; the late listener still finishes on state it shares.
    release.set();
    EXPECT_TRUE(left.waitFor(10s));
}

TEST_F(IpcTest, StuckPeerIsSkippedInsteadOfBlockingTheSender)
{
    platform::Event release(platform::Event::ResetPolicy::Manual);
    IpcInbox other;
    platform::IpcEndpoint stuck(m_folder.path(), L"stuck");
    platform::IpcEndpoint healthy(m_folder.path(), L"healthy");
    const platform::IpcEndpoint sender(m_folder.path(), L"sender");
    ASSERT_TRUE(stuck.startReceiving([&](platform::IpcMessage&&) { (void)release.waitFor(10s); }));
    ASSERT_TRUE(healthy.startReceiving(other.handler()));
    platform::clearDebugLines();

    // The stuck listener takes one message and then its queue fills; from then on each
    // broadcast reaches the healthy peer only, after a bounded wait on the stuck one.
    std::size_t sent = 0;
    while (sent < 100 && sender.broadcast(L"tick", sent, 0).value() == 2u)
        ++sent;
    EXPECT_LT(sent, 100u);
    EXPECT_TRUE(platform::debugLinesContain(L"did not take the message"));
    for (std::size_t i = 0; i <= sent; ++i) {
        auto message = other.next();
        ASSERT_TRUE(message);
        EXPECT_EQ(message->wParam, i);
    }
    release.set();
}

TEST_F(IpcTest, NamesOutsideTheAcceptedTableAreDroppedAndCounted)
{
    IpcInbox inbox;
    platform::IpcEndpoint program(m_folder.path(), L"MainWnd");
    ASSERT_TRUE(program.startReceiving(inbox.handler(), {L"Game_Start", kLightingMessage}));
    const platform::IpcEndpoint peer(m_folder.path(), L"Peer");
    // A flood of made-up names, and the hook's own key message a peer must never inject.
    constexpr int kFlood = 20000;
    std::uint64_t reached = 0;
    for (int i = 0; i < kFlood; ++i)
        reached += peer.post(L"MainWnd", L"made-up-" + std::to_wstring(i), 0, 0).value();
    reached += peer.post(L"MainWnd", L"WM_HOOK_KEY_SINGLEKEY_MSG", 0x41, 1).value();
    EXPECT_GT(reached, static_cast<std::uint64_t>(kFlood / 2));
    // Accepted in any letter case, and after the flood: the listener kept up.
    ASSERT_TRUE(peer.post(L"MainWnd", L"game_start", 1, 2));
    ASSERT_TRUE(peer.postCopyData(L"MainWnd", 0, 7, {}));
    const auto first = inbox.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, L"game_start");
    const auto second = inbox.next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->kind, platform::IpcMessage::Kind::CopyData);
    // Everything that arrived before them was dropped, none of it handed on.
    EXPECT_EQ(program.droppedMessages(), reached);
    EXPECT_EQ(inbox.count(), 2u);
}
