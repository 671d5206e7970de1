#include "platform/worker_thread.h"

#include "platform/debug_output.h"

namespace platform {

WorkerThread::~WorkerThread()
{
    stop(std::chrono::milliseconds(1000));
}

bool WorkerThread::start(std::string name, Body body)
{
    if (isRunning())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_shared = std::make_shared<Shared>();
    m_shared->name = std::move(name);
    m_thread = std::thread([shared = m_shared, body = std::move(body)] {
        body(shared->stop);
        shared->finished.set();
    });
    return true;
}

bool WorkerThread::stop(std::chrono::milliseconds timeout)
{
    if (!m_shared)
        return true;
    m_shared->stop.set();
    if (!m_shared->finished.waitFor(timeout)) {
        debugOutput("worker thread \"" + m_shared->name + "\" did not stop in time; left to end");
        m_thread.detach();
        m_shared.reset();
        return false;
    }
    if (m_thread.joinable())
        m_thread.join();
    m_shared.reset();
    return true;
}

bool WorkerThread::isRunning() const
{
    return m_shared && !m_shared->finished.isSet();
}

Event* WorkerThread::stopEvent()
{
    return m_shared ? &m_shared->stop : nullptr;
}

} // namespace platform
