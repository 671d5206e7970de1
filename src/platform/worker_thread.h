#pragma once

#include "platform/event.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform {

// A worker thread with its own manual-reset stop event. The body receives the stop
// event and must return soon after it is set; it waits on it (or on its next deadline)
// instead of sleeping.
//
// stop() sets the event and waits a bounded time. A worker that has not ended by then
// is reported through debugOutput and left to end: it keeps its state alive through a
// shared record, so nothing it uses is freed under it.
class WorkerThread {
public:
    using Body = std::function<void(Event& stop)>;

    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the body on a new thread; false if one is already running.
    bool start(std::string name, Body body);

    // Sets the stop event and waits up to the time-out; true when the thread has ended.
    bool stop(std::chrono::milliseconds timeout);

    bool isRunning() const;

    // The stop event, for code that waits on it beside other events.
    Event* stopEvent();

private:
    struct Shared {
        Event stop{Event::ResetPolicy::Manual};
        Event finished{Event::ResetPolicy::Manual};
        std::string name;
    };

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

} // namespace platform
