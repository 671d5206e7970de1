#include "platform/event.h"

#include <algorithm>

namespace platform {

struct Event::Waiter {
    std::mutex lock;
    std::condition_variable woken;
    bool signaled = false;

    void wake()
    {
        {
            std::lock_guard guard(lock);
            signaled = true;
        }
        woken.notify_one();
    }
};

Event::Event(ResetPolicy policy, InitialState initial)
    : m_policy(policy), m_signaled(initial == InitialState::Signaled)
{
}

Event::~Event() = default;

void Event::set()
{
    std::vector<std::shared_ptr<Waiter>> waiters;
    {
        // Notified under the lock: a released waiter may destroy the event at once.
        std::lock_guard guard(m_lock);
        m_signaled = true;
        waiters = m_waiters;
        if (m_policy == ResetPolicy::Manual)
            m_changed.notify_all();
        else
            m_changed.notify_one();
    }
    for (const auto& waiter : waiters)
        waiter->wake();
}

void Event::reset()
{
    std::lock_guard guard(m_lock);
    m_signaled = false;
}

bool Event::isSet() const
{
    std::lock_guard guard(m_lock);
    return m_signaled;
}

bool Event::tryConsumeLocked()
{
    if (!m_signaled)
        return false;
    if (m_policy == ResetPolicy::Automatic)
        m_signaled = false;
    return true;
}

void Event::wait()
{
    std::unique_lock guard(m_lock);
    m_changed.wait(guard, [this] { return m_signaled; });
    tryConsumeLocked();
}

bool Event::waitFor(std::chrono::nanoseconds timeout)
{
    return waitUntil(std::chrono::steady_clock::now() + timeout);
}

bool Event::waitUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock guard(m_lock);
    if (!m_changed.wait_until(guard, deadline, [this] { return m_signaled; }))
        return false;
    return tryConsumeLocked();
}

void Event::addWaiter(const std::shared_ptr<Waiter>& waiter)
{
    std::lock_guard guard(m_lock);
    m_waiters.push_back(waiter);
}

void Event::removeWaiter(const std::shared_ptr<Waiter>& waiter)
{
    std::lock_guard guard(m_lock);
    m_waiters.erase(std::remove(m_waiters.begin(), m_waiters.end(), waiter), m_waiters.end());
}

std::optional<std::size_t> Event::waitForAny(std::initializer_list<Event*> events,
                                             std::chrono::nanoseconds timeout)
{
    return waitForAnyUntil(events, std::chrono::steady_clock::now() + timeout);
}

std::size_t Event::waitForAny(std::initializer_list<Event*> events)
{
    return *waitForAnyUntil(events, std::nullopt);
}

std::optional<std::size_t>
Event::waitForAnyUntil(std::initializer_list<Event*> events,
                       std::optional<std::chrono::steady_clock::time_point> deadline)
{
    auto waiter = std::make_shared<Waiter>();
    for (Event* event : events)
        event->addWaiter(waiter);

    auto tryAll = [&]() -> std::optional<std::size_t> {
        std::size_t index = 0;
        for (Event* event : events) {
            std::lock_guard guard(event->m_lock);
            if (event->tryConsumeLocked())
                return index;
            ++index;
        }
        return std::nullopt;
    };

    std::optional<std::size_t> result;
    for (;;) {
        {
            // Cleared before the events are tested, so a set() after the test still wakes us.
            std::lock_guard guard(waiter->lock);
            waiter->signaled = false;
        }
        result = tryAll();
        if (result)
            break;
        std::unique_lock guard(waiter->lock);
        if (!deadline) {
            waiter->woken.wait(guard, [&] { return waiter->signaled; });
            continue;
        }
        if (!waiter->woken.wait_until(guard, *deadline, [&] { return waiter->signaled; })) {
            guard.unlock();
            result = tryAll();
            break;
        }
    }
    for (Event* event : events)
        event->removeWaiter(waiter);
    return result;
}

} // namespace platform
