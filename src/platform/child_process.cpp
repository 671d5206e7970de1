#include "platform/child_process.h"

#include <utility>

// What a child's owner does the same way on every system; starting, waiting and the
// signals are the system's.

namespace platform {

ChildProcess::~ChildProcess()
{
    if (m_pid > 0)
        reap(false);
    release();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_pidFd(std::exchange(other.m_pidFd, -1)),
      m_status(std::exchange(other.m_status, std::nullopt))
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        if (m_pid > 0)
            reap(false);
        release();
        m_pid = std::exchange(other.m_pid, -1);
        m_pidFd = std::exchange(other.m_pidFd, -1);
        m_status = std::exchange(other.m_status, std::nullopt);
    }
    return *this;
}

bool ChildProcess::isRunning()
{
    reap(false);
    return m_pid > 0;
}

bool ChildProcess::terminate(std::chrono::milliseconds grace)
{
    if (!isRunning())
        return true;
    askToEnd();
    if (waitForExit(grace))
        return true;
    forceEnd();
    reap(true);
    return false;
}

} // namespace platform
