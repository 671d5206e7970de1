#include "platform/message_queue.h"

#include "platform/thread_exit.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// The queue pointer may only be followed while the registry lock is held: a queue
// removes its entries under that lock before it is freed.
struct WindowEntry {
    MessageQueue* queue = nullptr;
    std::thread::id owner;
    std::shared_ptr<WindowProc> proc;
};

// Lock order: the window registry before any queue's lock, never after. Neither is ever
// destroyed: a thread's queue may be freed as it ends, after the statics are gone.
std::mutex& registryLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

std::unordered_map<HWND, WindowEntry>& registry()
{
    static auto* windows = new std::unordered_map<HWND, WindowEntry>;
    return *windows;
}

// Handles count up and are never reused, so a stale handle cannot reach a new window.
std::uintptr_t g_nextHandle = 0x100;

// A plain pointer: a thread_local with a destructor would run it on freed storage under
// MinGW, for every thread that merely asked whether it has a queue.
thread_local MessageQueue* t_queue = nullptr;

void deleteQueue(void* queue)
{
    delete static_cast<MessageQueue*>(queue);
}

std::optional<WindowEntry> findWindowLocked(HWND hwnd)
{
    const auto found = registry().find(hwnd);
    if (found == registry().end())
        return std::nullopt;
    return found->second;
}

std::optional<WindowEntry> findWindow(HWND hwnd)
{
    std::lock_guard guard(registryLock());
    return findWindowLocked(hwnd);
}

LRESULT callProc(const Message& m)
{
    const auto entry = findWindow(m.hwnd);
    if (!entry)
        return 0;
    return (*entry->proc)(m.hwnd, m.message, m.wParam, m.lParam);
}

} // namespace

struct MessageQueue::SentMessage {
    Message message;
    LRESULT result = 0;
    bool done = false;
    // Where the sender waits: its own queue's lock and condition, or private ones.
    std::mutex* lock = nullptr;
    std::condition_variable* changed = nullptr;

    void complete(LRESULT value)
    {
        // Notify under the lock: the sender may free this record the moment it sees done.
        std::lock_guard guard(*lock);
        result = value;
        done = true;
        changed->notify_all();
    }
};

MessageQueue::MessageQueue() : m_owner(std::this_thread::get_id()) {}

MessageQueue::~MessageQueue()
{
    {
        std::lock_guard guard(registryLock());
        std::erase_if(registry(), [this](const auto& item) { return item.second.queue == this; });
    }
    std::deque<SentMessage*> pending;
    {
        std::lock_guard guard(m_lock);
        pending.swap(m_sent);
    }
    for (auto* sent : pending)
        sent->complete(0);
}

MessageQueue& MessageQueue::current()
{
    if (!t_queue) {
        t_queue = new MessageQueue;
        atThreadExit(deleteQueue, t_queue);
    }
    return *t_queue;
}

MessageQueue* MessageQueue::currentIfAny()
{
    return t_queue;
}

HWND MessageQueue::createWindow(WindowProc proc)
{
    std::lock_guard guard(registryLock());
    const auto hwnd = reinterpret_cast<HWND>(g_nextHandle);
    g_nextHandle += 0x10;
    registry()[hwnd] = WindowEntry{this, m_owner, std::make_shared<WindowProc>(std::move(proc))};
    return hwnd;
}

void MessageQueue::destroyWindow(HWND hwnd)
{
    std::vector<SentMessage*> orphans;
    {
        std::lock_guard guard(registryLock());
        registry().erase(hwnd);
        std::lock_guard queueGuard(m_lock);
        std::erase_if(m_posted, [hwnd](const Message& m) { return m.hwnd == hwnd; });
        std::erase_if(m_timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
        for (auto it = m_sent.begin(); it != m_sent.end();) {
            if ((*it)->message.hwnd == hwnd) {
                orphans.push_back(*it);
                it = m_sent.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Completed outside our lock: the senders' locks belong to other queues.
    for (auto* sent : orphans)
        sent->complete(0);
}

bool MessageQueue::post(const Message& message)
{
    std::lock_guard guard(m_lock);
    m_posted.push_back(message);
    wakeLocked();
    return true;
}

void MessageQueue::wakeLocked()
{
    m_changed.notify_all();
    if (m_externalWait)
        m_externalWait->wake();
}

LRESULT MessageQueue::sendFromOtherThread(const Message& message)
{
    SentMessage sent;
    sent.message = message;
    std::mutex privateLock;
    std::condition_variable privateChanged;
    MessageQueue* mine = currentIfAny();
    sent.lock = mine ? &mine->m_lock : &privateLock;
    sent.changed = mine ? &mine->m_changed : &privateChanged;
    {
        std::lock_guard guard(registryLock());
        // The window may have gone between the caller's look-up and now.
        const auto entry = findWindowLocked(message.hwnd);
        if (!entry)
            return 0;
        MessageQueue& target = *entry->queue;
        std::lock_guard queueGuard(target.m_lock);
        target.m_sent.push_back(&sent);
        target.wakeLocked();
    }
    if (mine) {
        mine->waitForReply(sent);
    } else {
        std::unique_lock lock(privateLock);
        privateChanged.wait(lock, [&] { return sent.done; });
    }
    return sent.result;
}

void MessageQueue::waitForReply(SentMessage& sent)
{
    std::unique_lock lock(m_lock);
    while (!sent.done) {
        if (!m_sent.empty()) {
            handleOneSentLocked(lock);
            continue;
        }
        m_changed.wait(lock);
    }
}

bool MessageQueue::handleOneSentLocked(std::unique_lock<std::mutex>& lock)
{
    if (m_sent.empty())
        return false;
    SentMessage* sent = m_sent.front();
    m_sent.pop_front();
    lock.unlock();
    const LRESULT result = callProc(sent->message);
    sent->complete(result);
    lock.lock();
    return true;
}

bool MessageQueue::takeDueTimerLocked(Message& message, Clock::time_point cutoff)
{
    const auto now = Clock::now();
    Timer* due = nullptr;
    for (auto& timer : m_timers) {
        if (timer.due <= std::min(now, cutoff) && (!due || timer.due < due->due))
            due = &timer;
    }
    if (!due)
        return false;
    // Coalesced: however late, one WM_TIMER, and the next one a full period from now.
    due->due = now + due->period;
    message = Message{due->hwnd, WM_TIMER, due->id, 0};
    return true;
}

Clock::time_point MessageQueue::nextDeadlineLocked() const
{
    auto next = Clock::time_point::max();
    for (const auto& timer : m_timers)
        next = std::min(next, timer.due);
    return next;
}

bool MessageQueue::nextMessage(Message& message, bool block, Clock::time_point deadline,
                               Clock::time_point timerCutoff, bool stopAfterSent)
{
    std::unique_lock lock(m_lock);
    for (;;) {
        bool handledSent = false;
        while (handleOneSentLocked(lock))
            handledSent = true;
        // A sent message may be what a runUntil() caller waits for: let it look.
        if (handledSent && stopAfterSent)
            return false;
        if (!m_posted.empty()) {
            message = m_posted.front();
            m_posted.pop_front();
            return true;
        }
        if (m_quit) {
            m_quit = false;
            message = Message{nullptr, WM_QUIT, static_cast<WPARAM>(m_quitCode), 0};
            return true;
        }
        if (takeDueTimerLocked(message, timerCutoff))
            return true;
        if (!block || Clock::now() >= deadline)
            return false;
        const auto until = std::min(nextDeadlineLocked(), deadline);
        if (m_externalWait) {
            auto* external = m_externalWait;
            lock.unlock();
            external->wait(until);
            lock.lock();
        } else if (until == Clock::time_point::max()) {
            m_changed.wait(lock);
        } else {
            m_changed.wait_until(lock, until);
        }
    }
}

bool MessageQueue::getMessage(Message& message)
{
    nextMessage(message, true, Clock::time_point::max(), Clock::time_point::max());
    return message.message != WM_QUIT;
}

bool MessageQueue::peekMessage(Message& message)
{
    return nextMessage(message, false, Clock::time_point::min(), Clock::time_point::max());
}

void MessageQueue::dispatchMessage(const Message& message)
{
    if (message.hwnd)
        callProc(message);
}

bool MessageQueue::pumpPending()
{
    // Each timer fires at most once per pump: a handler slower than its period
    // must not keep the pump from returning.
    const auto start = Clock::now();
    Message message;
    while (nextMessage(message, false, Clock::time_point::min(), start)) {
        if (message.message == WM_QUIT) {
            postQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        dispatchMessage(message);
    }
    return true;
}

bool MessageQueue::runUntil(const std::function<bool()>& done, Clock::time_point deadline)
{
    for (;;) {
        if (done())
            return true;
        Message message;
        if (!nextMessage(message, true, deadline, Clock::time_point::max(), true)) {
            if (std::chrono::steady_clock::now() >= deadline)
                return done();
            continue;
        }
        if (message.message == WM_QUIT) {
            postQuitMessage(static_cast<int>(message.wParam));
            return done();
        }
        dispatchMessage(message);
    }
}

void MessageQueue::postQuitMessage(int exitCode)
{
    std::lock_guard guard(m_lock);
    m_quit = true;
    m_quitCode = exitCode;
    wakeLocked();
}

bool MessageQueue::quitPending() const
{
    std::lock_guard guard(m_lock);
    return m_quit;
}

int MessageQueue::takeQuit()
{
    std::lock_guard guard(m_lock);
    m_quit = false;
    return m_quitCode;
}

void MessageQueue::setExternalWait(ExternalWait* wait)
{
    std::lock_guard guard(m_lock);
    m_externalWait = wait;
}

LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto entry = findWindow(hwnd);
    if (!entry)
        return 0;
    if (entry->owner == std::this_thread::get_id())
        return (*entry->proc)(hwnd, message, wParam, lParam);
    return MessageQueue::sendFromOtherThread(Message{hwnd, message, wParam, lParam});
}

bool postMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard guard(registryLock());
    const auto entry = findWindowLocked(hwnd);
    if (!entry)
        return false;
    return entry->queue->post(Message{hwnd, message, wParam, lParam});
}

void postQuitMessage(int exitCode)
{
    MessageQueue::current().postQuitMessage(exitCode);
}

bool isWindow(HWND hwnd)
{
    return findWindow(hwnd).has_value();
}

bool setTimer(HWND hwnd, UINT_PTR id, std::chrono::milliseconds period)
{
    std::lock_guard guard(registryLock());
    const auto entry = findWindowLocked(hwnd);
    if (!entry)
        return false;
    auto& queue = *entry->queue;
    std::lock_guard queueGuard(queue.m_lock);
    period = std::max(period, std::chrono::milliseconds(1));
    const auto due = Clock::now() + period;
    const auto found = std::find_if(queue.m_timers.begin(), queue.m_timers.end(),
                                    [&](const auto& t) { return t.hwnd == hwnd && t.id == id; });
    if (found != queue.m_timers.end()) {
        found->period = period;
        found->due = due;
    } else {
        queue.m_timers.push_back(MessageQueue::Timer{hwnd, id, period, due});
    }
    queue.wakeLocked();
    return true;
}

bool killTimer(HWND hwnd, UINT_PTR id)
{
    std::lock_guard guard(registryLock());
    const auto entry = findWindowLocked(hwnd);
    if (!entry)
        return false;
    auto& queue = *entry->queue;
    std::lock_guard queueGuard(queue.m_lock);
    return std::erase_if(queue.m_timers,
                         [&](const auto& t) { return t.hwnd == hwnd && t.id == id; }) > 0;
}

} // namespace platform
