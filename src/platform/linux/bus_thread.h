#pragma once

#include "platform/result.h"
#include "platform/worker_thread.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

struct sd_bus;

namespace platform {

// One D-Bus connection served on its own worker thread. An sd-bus connection is not
// thread-safe, so everything done with it runs on that thread: the setup, the bus's own
// callbacks, and work handed over with post(). Callers never see the connection outside
// those functions.
class BusThread {
public:
    enum class Bus { Session, System };
    // Runs on the bus thread after connecting; a failure ends the thread and start().
    using Setup = std::function<Result<void>(sd_bus* bus)>;
    using Work = std::function<void(sd_bus* bus)>;
    // Runs on the bus thread when the connection is lost (the bus daemon went away).
    using Lost = std::function<void()>;

    BusThread();
    ~BusThread();
    BusThread(const BusThread&) = delete;
    BusThread& operator=(const BusThread&) = delete;

    // Connects to the address (a D-Bus address such as "unix:path=/run/x"), or with an
    // empty address to the user's session bus or the system bus, and runs the setup.
    // Waits up to the time-out for both; on failure nothing keeps running.
    Result<void> start(std::string name, Bus bus, const std::string& address, Setup setup,
                       Lost lost, std::chrono::milliseconds timeout);

    // Queues work for the bus thread; dropped when the thread is not running.
    void post(Work work);

    // Ends the thread within the time-out (see WorkerThread::stop); the connection is
    // flushed and closed on the bus thread.
    void stop(std::chrono::milliseconds timeout);

    bool isRunning() const { return m_worker.isRunning(); }

private:
    struct State;
    std::shared_ptr<State> m_state;
    WorkerThread m_worker;
};

} // namespace platform
