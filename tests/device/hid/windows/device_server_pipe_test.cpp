// The device server's named pipe: clients that come all at once.

#include "device/hid/sim/socket_wire.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using hid::sim::wire::Listener;
using hid::sim::wire::Stream;

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
