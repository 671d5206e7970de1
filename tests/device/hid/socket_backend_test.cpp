#include "device/hid/hid_backend.h"
#include "device/hid/hid_device.h"
#include "device/hid/hid_path.h"
#include "device/hid/hid_presence.h"
#include "device/hid/sim/socket_backend.h"
#include "device/hid/sim/socket_wire.h"
#include "device/protocol/device_protocol.h"
#include "device/usb_ids.h"
#include "devsim/keyboard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using devsim::KeyboardLink;
using protocol::Status;
using namespace std::chrono_literals;

namespace {

class SocketBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start(socket, [](const std::string& line) { return "got " + line; }));
        hid::sim::useDeviceServer(socket);
        keyboard.plug(KeyboardLink::Cable);
    }
    void TearDown() override { hid::sim::useDeviceServer({}); }

    // The socket backend's path for a collection the keyboard plugged in this process.
    std::wstring servedPath(KeyboardLink link, std::uint32_t collection)
    {
        std::wstring path = keyboard.interfaces(link).compositeInterface().path(collection);
        path.replace(path.find(L"#sim&"), 5, L"#sock&");
        return path;
    }

    std::vector<std::wstring> listed()
    {
        std::vector<std::wstring> paths;
        EXPECT_TRUE(hid::sim::socketBackend().enumerate(paths));
        return paths;
    }

    testing_support::TempDir folder;
    std::filesystem::path socket = folder.path() / "devsim.sock";
    devsim::Keyboard keyboard;
    hid::sim::DeviceServer server;
};

} // namespace

TEST_F(SocketBackendTest, ServedKeyboardAnswersCommandsAndItsUnplugReachesTheHost)
{
    const auto path = servedPath(KeyboardLink::Cable, usb::kCommandCollection);
    const auto paths = listed();
    EXPECT_NE(std::find(paths.begin(), paths.end(), path), paths.end());
    EXPECT_TRUE(hid::isPathPresent(path));

    CDeviceProtocol channel;
    ASSERT_TRUE(channel.openLink(protocol::Link::Wired, path));
    channel.setLinkMode(protocol::LinkMode::Wired);
    EXPECT_EQ(channel.wiredLink().caps().usagePage, usb::kCommandUsagePage);
    std::array<std::uint8_t, 34> info{};
    ASSERT_EQ(channel.ReadInfo(info), Status::Ok);
    EXPECT_EQ(info[protocol::kInfoKeySlotCount], 126);

    keyboard.injectFault(devsim::Fault::StatusFE);
    EXPECT_EQ(channel.HostLighting(), Status::DeviceErrorFE);

    keyboard.unplug(KeyboardLink::Cable);
    EXPECT_FALSE(hid::isPathPresent(path));
    // The write may still reach the socket before the unplug does; then the read fails.
    const Status gone = channel.HostLighting();
    EXPECT_TRUE(gone == Status::WriteFailed || gone == Status::NoReply)
        << "the device went with its socket: " << protocol::describe(gone);
    EXPECT_TRUE(listed().empty());
}

TEST_F(SocketBackendTest, ConsumerReportsTravelAndControlLinesAreAnswered)
{
    CHidDevice consumer;
    ASSERT_TRUE(
        consumer.Open(servedPath(KeyboardLink::Cable, usb::kConsumerCollection), hid::kProbeMode));
    ASSERT_TRUE(keyboard.sendConsumerUsage(devsim::kUsageSyncProfile));
    std::array<std::uint8_t, 3> report{};
    std::uint32_t count = 0;
    ASSERT_EQ(consumer.Read(report, count, 5000ms), 1);
    EXPECT_EQ(report, (std::array<std::uint8_t, 3>{3, 0x02, 0x04}));

    const auto answer = hid::sim::sendControl(socket, "sleep");
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, "got sleep");
}

TEST_F(SocketBackendTest, ADiscardDropsEveryEarlierReportWhereverItIsAndKeepsTheNext)
{
    // Reports the device sent before a discard may still be in the server, on the socket or
    // in the client's reader: none may reach a read after it, and the next report must.
    CHidDevice consumer;
    ASSERT_TRUE(
        consumer.Open(servedPath(KeyboardLink::Cable, usb::kConsumerCollection), hid::kProbeMode));
    std::array<std::uint8_t, 3> report{};
    std::uint32_t count = 0;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        for (std::uint8_t i = 0; i < 30; ++i)
            ASSERT_TRUE(keyboard.sendConsumerUsage(static_cast<std::uint16_t>(0x0100 | i)));
        consumer.discardInput();
        EXPECT_EQ(consumer.Read(report, count, 200ms), 0)
            << "report " << int(report[1]) << " of the round came after the discard";
        ASSERT_TRUE(keyboard.sendConsumerUsage(devsim::kUsageSyncProfile));
        ASSERT_EQ(consumer.Read(report, count, 5000ms), 1);
        EXPECT_EQ(report, (std::array<std::uint8_t, 3>{3, 0x02, 0x04}));
    }
}

TEST_F(SocketBackendTest, GarbageOnTheSocketIsRefusedAndTheServerGoesOn)
{
    for (const std::uint32_t length : {0u, 0xFFFFFFFFu, 1u}) {
        const auto stream = hid::sim::wire::connectTo(socket);
        ASSERT_TRUE(stream);
        std::vector<std::uint8_t> bytes;
        hid::sim::wire::put32(bytes, length);
        bytes.push_back(0x99); // no such message type
        ASSERT_EQ(stream->write(bytes, std::nullopt), hid::sim::wire::Sent::Done);
        std::uint8_t answer = 0;
        EXPECT_FALSE(stream->read(std::span(&answer, 1), std::chrono::steady_clock::now() + 30s))
            << "the server closes without an answer";
    }
    // An open of a path the server does not have is refused, not guessed at.
    hid::OpenFailure failure;
    EXPECT_EQ(hid::sim::socketBackend().open(hid::makePath(0x36B0, 0x5078, 1, 4, L"sock&7f&0"),
                                             hid::kChannelMode, failure),
              nullptr);
    EXPECT_FALSE(listed().empty());
}

TEST_F(SocketBackendTest, TheServedDeviceIsNamedAsTheServersOwnForItsLock)
{
    // The window serving its emulated keyboard and halvekctl reaching it through the socket
    // must hold one and the same lock.
    CHidDevice local;
    CHidDevice remote;
    ASSERT_TRUE(local.Open(
        keyboard.interfaces(KeyboardLink::Cable).compositeInterface().path(usb::kCommandCollection),
        hid::kChannelMode));
    ASSERT_TRUE(
        remote.Open(servedPath(KeyboardLink::Cable, usb::kCommandCollection), hid::kChannelMode));
    EXPECT_FALSE(local.ownerIdentity().empty());
    EXPECT_EQ(remote.ownerIdentity(), local.ownerIdentity());
}

TEST(SocketBackend, NoServerListsNothingAndSecondServerIsRefused)
{
    testing_support::TempDir folder;
    hid::sim::useDeviceServer(folder.path() / "none.sock");
    std::vector<std::wstring> paths;
    EXPECT_TRUE(hid::sim::socketBackend().enumerate(paths));
    EXPECT_TRUE(paths.empty());
    EXPECT_FALSE(hid::sim::sendControl(folder.path() / "none.sock", "status"));

    hid::sim::DeviceServer first;
    hid::sim::DeviceServer second;
    ASSERT_TRUE(first.start(folder.path() / "a.sock", {}));
    EXPECT_FALSE(second.start(folder.path() / "a.sock", {}));
    hid::sim::useDeviceServer({});
}

TEST(SocketBackend, AServerThatStopsAnsweringFailsRequestsAfterTheDevicesTimeOut)
{
    // A stopped halvek-devsim: its socket takes connections (the kernel's backlog) and
    // never answers. Listing and control lines must give up, not wait for it for good.
    testing_support::TempDir folder;
    const auto path = folder.path() / "stopped.sock";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 8), 0);

    hid::sim::useDeviceServer(path);
    auto listing = std::async(std::launch::async, [] {
        std::vector<std::wstring> paths;
        (void)hid::sim::socketBackend().enumerate(paths);
        return paths;
    });
    auto control =
        std::async(std::launch::async, [&] { return hid::sim::sendControl(path, "status"); });
    // Far past the time-out; reaching it means a wait without one.
    ASSERT_EQ(listing.wait_for(60s), std::future_status::ready);
    ASSERT_EQ(control.wait_for(60s), std::future_status::ready);
    EXPECT_TRUE(listing.get().empty());
    const auto answer = control.get();
    ASSERT_FALSE(answer);
    EXPECT_EQ(answer.error().code, platform::Error::Code::Timeout);
    hid::sim::useDeviceServer({});
    ::close(listener);
}
