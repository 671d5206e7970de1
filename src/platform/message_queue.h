#pragma once

#include "platform/window_messages.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

struct Message {
    HWND hwnd = nullptr;
    UINT message = WM_NULL;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// A window procedure: called on the thread that owns the window's queue.
using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Something besides the queue that the UI thread has to wait on (a toolkit's event
// source). When set, the queue waits through it and asks it to wake up when work arrives.
class ExternalWait {
public:
    virtual ~ExternalWait() = default;
    // Waits until woken, until an outside event was handled, or until the deadline.
    virtual void wait(std::chrono::steady_clock::time_point deadline) = 0;
    // Thread-safe: makes a current or next wait() return soon.
    virtual void wake() = 0;
};

// The message queue of one UI thread. Windows created on the thread belong to it.
//
// sendMessage() runs the window procedure on the owning thread and blocks the caller
// until it has returned; from the owning thread itself it is a direct call. A sender
// that owns a queue keeps handling messages sent to it while it waits, so two UI threads
// sending to each other do not deadlock. Posted messages and timers are thread-safe.
// A sender is released with result 0 when the target window or queue goes away.
class MessageQueue {
public:
    MessageQueue();
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // The queue of the calling thread, created on first use.
    static MessageQueue& current();
    // The queue of the calling thread, or null when it never asked for one.
    static MessageQueue* currentIfAny();

    HWND createWindow(WindowProc proc);
    // Removes the handle; later sends answer 0, posts are dropped, timers stop.
    void destroyWindow(HWND hwnd);

    // False at WM_QUIT (the code is in wParam of the message), true otherwise. Sent
    // messages are handled inside this call and never returned.
    bool getMessage(Message& message);
    // As getMessage but never blocks; false when nothing is waiting.
    bool peekMessage(Message& message);
    void dispatchMessage(const Message& message);

    // Handles everything that is due now (sent, posted, timers) without blocking;
    // returns false when WM_QUIT was seen (it stays pending for the outer loop).
    bool pumpPending();
    // Runs the loop until the predicate holds, WM_QUIT arrives or the deadline passes;
    // true when the predicate held.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::steady_clock::time_point deadline);

    void postQuitMessage(int exitCode);
    bool quitPending() const;
    // Drops a pending quit; a nested loop that saw it puts it back with postQuitMessage.
    int takeQuit();

    void setExternalWait(ExternalWait* wait);

    std::thread::id ownerThread() const { return m_owner; }

private:
    friend bool postMessage(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT sendMessage(HWND, UINT, WPARAM, LPARAM);
    friend bool setTimer(HWND, UINT_PTR, std::chrono::milliseconds);
    friend bool killTimer(HWND, UINT_PTR);

    struct SentMessage;
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        std::chrono::milliseconds period;
        std::chrono::steady_clock::time_point due;
    };

    bool post(const Message& message);
    LRESULT sendFromOtherThread(const Message& message);
    void waitForReply(SentMessage& sent);
    bool handleOneSentLocked(std::unique_lock<std::mutex>& lock);
    bool takeDueTimerLocked(Message& message, std::chrono::steady_clock::time_point cutoff);
    std::chrono::steady_clock::time_point nextDeadlineLocked() const;
    bool nextMessage(Message& message, bool block, std::chrono::steady_clock::time_point deadline,
                     std::chrono::steady_clock::time_point timerCutoff, bool stopAfterSent = false);
    void wakeLocked();
    void dropWindowLocked(HWND hwnd);

    std::thread::id m_owner;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Message> m_posted;
    std::deque<SentMessage*> m_sent;
    std::vector<Timer> m_timers;
    bool m_quit = false;
    int m_quitCode = 0;
    ExternalWait* m_externalWait = nullptr;
};

// Sends to a window of any queue and waits for its answer (0 for an unknown handle).
LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Queues for a window of any queue; false for an unknown handle.
bool postMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Ends the calling thread's message loop.
void postQuitMessage(int exitCode);
bool isWindow(HWND hwnd);

// Window timers: WM_TIMER with the id in wParam, due every period, coalesced (a late
// timer fires once). Setting a running id restarts it with the new period. Thread-safe.
bool setTimer(HWND hwnd, UINT_PTR id, std::chrono::milliseconds period);
bool killTimer(HWND hwnd, UINT_PTR id);

} // namespace platform
