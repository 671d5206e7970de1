// The Windows backend's own services, where the Linux tests of the same interfaces need
// sockets, signals or /bin/sh: messages over named pipes, the single-instance mutex, child
// processes in their job, folder locks and the console interrupt.

#include "platform/child_process.h"
#include "platform/files.h"
#include "platform/ipc.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "platform/windows/command_line.h"

#include "platform/ipc_inbox.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <future>
#include <windows.h>

#include <shellapi.h> // after windows.h, whose types it uses

using namespace std::chrono_literals;
using testing_support::IpcInbox;
using testing_support::TempDir;

TEST(WindowsIpc, MessagesReachTheirPeerWithDataAndSenderAndNobodyElse)
{
    TempDir folder;
    IpcInbox firstInbox, secondInbox;
    platform::IpcEndpoint first(folder.path(), L"HalvekMain"), second(folder.path(), L"Companion");
    const platform::IpcEndpoint sender(folder.path(), L"halvekctl");
    ASSERT_TRUE(first.startReceiving(firstInbox.handler()));
    ASSERT_TRUE(second.startReceiving(secondInbox.handler()));

    const std::vector<std::uint8_t> data(platform::kMaxIpcDataSize, 0x5A);
    ASSERT_EQ(sender.post(L"halvekmain", L"{feed}", 7, -3, data).value(), 1u);
    const auto message = firstInbox.next();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->name, L"{feed}");
    EXPECT_EQ(message->wParam, 7u);
    EXPECT_EQ(message->lParam, -3);
    EXPECT_EQ(message->data, data);
    EXPECT_EQ(message->senderName, L"halvekctl");
    EXPECT_EQ(message->senderProcessId, static_cast<std::int32_t>(GetCurrentProcessId()));
    EXPECT_EQ(secondInbox.count(), 0u);

    // A broadcast reaches both; too much data reaches nobody.
    EXPECT_EQ(sender.broadcast(L"{wake}", 0, 1).value(), 2u);
    EXPECT_TRUE(firstInbox.next());
    EXPECT_TRUE(secondInbox.next());
    const std::vector<std::uint8_t> tooMuch(platform::kMaxIpcDataSize + 1);
    EXPECT_EQ(sender.broadcast(L"{big}", 0, 0, tooMuch).error().code,
              platform::Error::Code::TooLarge);

    // A stopped endpoint is gone for its peers at once.
    EXPECT_TRUE(sender.hasPeer(L"Companion"));
    EXPECT_TRUE(second.stopReceiving());
    EXPECT_FALSE(sender.hasPeer(L"Companion"));
    EXPECT_EQ(sender.post(L"Companion", L"{late}", 0, 0).value(), 0u);
}

// Senders that write and close while the listener still reads an earlier message leave
// theirs in a pipe instance it has not yet connected: every one must still arrive.
TEST(WindowsIpc, MessagesSentInABurstAllArrive)
{
    TempDir folder;
    IpcInbox inbox;
    platform::IpcEndpoint receiver(folder.path(), L"HalvekMain");
    ASSERT_TRUE(receiver.startReceiving(inbox.handler()));

    constexpr int kSenders = 3, kEach = 20;
    std::vector<std::future<std::size_t>> sent;
    for (int s = 0; s < kSenders; ++s)
        sent.push_back(std::async(std::launch::async, [&folder, s] {
            const platform::IpcEndpoint sender(folder.path(), L"sender" + std::to_wstring(s));
            std::size_t reached = 0;
            for (int i = 0; i < kEach; ++i)
                reached += sender.post(L"HalvekMain", L"{burst}", s, i).value();
            return reached;
        }));
    std::size_t reached = 0;
    for (auto& each : sent)
        reached += each.get();
    EXPECT_EQ(reached, std::size_t{kSenders * kEach});
    for (std::size_t i = 0; i < reached; ++i)
        ASSERT_TRUE(inbox.next()) << "message " << i << " of " << reached << " never arrived";
}

TEST(WindowsSingleInstance, OneHolderPerFolderUntilReleased)
{
    TempDir folder, other;
    platform::SingleInstance first, second, elsewhere;
    EXPECT_EQ(first.claim(folder.path(), L"SPhalvek2vizudi").value(),
              platform::SingleInstance::Claim::First);
    EXPECT_EQ(second.claim(folder.path(), L"SPhalvek2vizudi").value(),
              platform::SingleInstance::Claim::AnotherRuns);
    EXPECT_EQ(elsewhere.claim(other.path(), L"SPhalvek2vizudi").value(),
              platform::SingleInstance::Claim::First);
    first.release();
    EXPECT_EQ(second.claim(folder.path(), L"SPhalvek2vizudi").value(),
              platform::SingleInstance::Claim::First);
}

TEST(WindowsChildProcess, ArgumentsArriveWholeAndTheExitCodeComesBack)
{
    // cmd.exe reads its own command line: a quoted argument with blanks and quotes inside
    // must reach it as one.
    auto child = platform::ChildProcess::start("cmd.exe", {"/c", "exit 3"});
    ASSERT_TRUE(child) << child.error().message;
    EXPECT_TRUE(child->waitForExit(30s));
    EXPECT_EQ(child->exitStatus(), 3);

    auto missing = platform::ChildProcess::start("no-such-program-here.exe", {});
    EXPECT_FALSE(missing);

    auto waiting = platform::ChildProcess::start("cmd.exe", {"/c", "pause"});
    ASSERT_TRUE(waiting) << waiting.error().message;
    EXPECT_FALSE(waiting->waitForExit(10ms));
    waiting->terminate(100ms);
    EXPECT_FALSE(waiting->isRunning());
}

// What the child reads back is what it was given, however hostile: the runtime's rules for
// backslashes before a quote are where a hand-written quoting goes wrong.
TEST(WindowsChildProcess, CommandLinesReadBackAsTheArgumentsGiven)
{
    const std::wstring program = L"C:\\Program Files\\Halvek\\halvek-update.exe";
    const std::vector<std::wstring> arguments = {L"",
                                                 L"plain",
                                                 L"two words",
                                                 L"tab\there",
                                                 L"line\nbreak",
                                                 L"say \"hi\"",
                                                 L"\"",
                                                 L"trailing\\",
                                                 L"trailing two\\\\",
                                                 L"C:\\a b\\",
                                                 L"\\\\server\\share",
                                                 L"back\\\"quote",
                                                 L"\\\\\"",
                                                 L"\u4e2d\u6587 \u540d",
                                                 L"--url=https://x/?a=1&b=2"};
    const std::wstring line = platform::windows::commandLine(program, arguments);
    int count = 0;
    LPWSTR* parsed = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(parsed, nullptr);
    std::vector<std::wstring> readBack(parsed, parsed + count);
    LocalFree(parsed);
    ASSERT_EQ(readBack.size(), arguments.size() + 1) << platform::toUtf8(line);
    EXPECT_EQ(readBack[0], program);
    for (std::size_t i = 0; i < arguments.size(); ++i)
        EXPECT_EQ(readBack[i + 1], arguments[i])
            << "argument " << i << " in " << platform::toUtf8(line);
}

TEST(WindowsFolderLock, AnotherThreadWaitsItsTimeAndIsRefused)
{
    TempDir folder;
    auto held = platform::FolderLock::acquire(folder.path());
    ASSERT_TRUE(held) << held.error().message;
    auto nested = platform::FolderLock::acquire(folder.path(), 0ms);
    EXPECT_TRUE(nested); // the holding thread only counts
    auto other = std::async(std::launch::async, [&] {
        auto lock = platform::FolderLock::acquire(folder.path(), 50ms);
        return lock ? platform::Error::Code::Failed : lock.error().code;
    });
    EXPECT_EQ(other.get(), platform::Error::Code::Timeout);
}
