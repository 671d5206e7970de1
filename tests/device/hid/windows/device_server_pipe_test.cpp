// The device server's named pipe: who may connect, and clients that come all at once.

#include "device/hid/sim/socket_wire.h"

#include "platform/text.h"
#include "support/temp_dir.h"
#include "support/windows/access_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using hid::sim::wire::Listener;
using hid::sim::wire::Stream;

// The pipe a server on this path listens on, named as its clients find it.
std::wstring pipeOf(const std::filesystem::path& server)
{
    return L"\\\\.\\pipe\\halvek-devsim-" +
           std::to_wstring(std::hash<std::wstring>{}(platform::toLower(server.wstring())));
}

// Accepts every client until closed, keeping their streams open.
class Accepting {
public:
    explicit Accepting(Listener& listener) : m_listener(listener)
    {
        m_thread = std::thread([this] {
            while (auto stream = m_listener.accept()) {
                std::lock_guard guard(m_lock);
                m_streams.push_back(std::move(stream));
            }
        });
    }
    ~Accepting()
    {
        m_listener.close();
        m_thread.join();
    }

private:
    Listener& m_listener;
    std::mutex m_lock;
    std::vector<std::unique_ptr<Stream>> m_streams;
    std::thread m_thread;
};

} // namespace

TEST(DeviceServerPipe, LetsInOnlyThisUserAndTheSystemAndStillServesThem)
{
    testing_support::TempDir folder;
    const auto server = folder / "devsim.sock";
    auto listener = Listener::open(server);
    ASSERT_TRUE(listener) << listener.error().message;
    EXPECT_EQ(testing_support::pipeLetsIn(pipeOf(server)), testing_support::userAndSystemSids());

    // The look at its descriptor came and went as a client; the next one is still served.
    const Accepting accepting(**listener);
    EXPECT_NE(hid::sim::wire::connectTo(server), nullptr);
}

TEST(DeviceServerPipe, ClientsComingAtOnceAllGetThrough)
{
    // One instance waits at a time: clients at once take turns for it rather than give up.
    testing_support::TempDir folder;
    const auto server = folder / "devsim.sock";
    auto listener = Listener::open(server);
    ASSERT_TRUE(listener) << listener.error().message;
    const Accepting accepting(**listener);
    for (int round = 0; round < 5; ++round) {
        std::vector<std::future<std::unique_ptr<Stream>>> clients;
        for (int i = 0; i < 16; ++i)
            clients.push_back(std::async(std::launch::async,
                                         [&server] { return hid::sim::wire::connectTo(server); }));
        int connected = 0;
        for (auto& client : clients)
            connected += client.get() != nullptr;
        EXPECT_EQ(connected, 16) << "round " << round;
    }
}
