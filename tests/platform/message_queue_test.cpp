#include "platform/message_queue.h"

#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using platform::MessageQueue;

namespace {

constexpr UINT kPing = WM_USER + 1;

std::chrono::steady_clock::time_point soon()
{
    return std::chrono::steady_clock::now() + 10s;
}

// A window on the calling thread's queue that records what reaches it.
struct RecordingWindow {
    RecordingWindow()
    {
        hwnd = MessageQueue::current().createWindow([this](HWND, UINT msg, WPARAM w, LPARAM) {
            seen.push_back(msg == WM_TIMER ? static_cast<UINT>(w) + 0x10000 : msg);
            threads.push_back(std::this_thread::get_id());
            return static_cast<LRESULT>(w * 2);
        });
    }
    ~RecordingWindow() { MessageQueue::current().destroyWindow(hwnd); }

    HWND hwnd = nullptr;
    std::vector<UINT> seen;
    std::vector<std::thread::id> threads;
};

} // namespace

TEST(MessageQueue, SendFromWorkerThreadBlocksUntilHandled)
{
    std::atomic<bool> senderReturned{false};
    std::atomic<bool> returnedBeforeHandled{false};
    bool handled = false;
    const HWND hwnd = MessageQueue::current().createWindow([&](HWND, UINT msg, WPARAM w, LPARAM) {
        if (msg != kPing)
            return LRESULT{0};
        returnedBeforeHandled = senderReturned.load();
        handled = true;
        return static_cast<LRESULT>(w + 1);
    });
    std::atomic<LRESULT> result{0};
    std::thread worker([&] {
        result = platform::sendMessage(hwnd, kPing, 41, 0);
        senderReturned = true;
    });
    EXPECT_TRUE(MessageQueue::current().runUntil([&] { return handled; }, soon()));
    worker.join();
    EXPECT_FALSE(returnedBeforeHandled);
    EXPECT_EQ(result, 42);
    MessageQueue::current().destroyWindow(hwnd);
}

TEST(MessageQueue, SendOnOwnerThreadIsADirectCall)
{
    RecordingWindow window;
    EXPECT_EQ(platform::sendMessage(window.hwnd, kPing, 5, 0), 10);
    ASSERT_EQ(window.seen.size(), 1u);
    EXPECT_EQ(window.threads[0], std::this_thread::get_id());
}

TEST(MessageQueue, PostedMessagesArriveInOrderBeforeQuit)
{
    RecordingWindow window;
    std::thread worker([&] {
        platform::postMessage(window.hwnd, kPing, 0, 0);
        platform::postMessage(window.hwnd, kPing + 1, 0, 0);
    });
    worker.join();
    platform::postQuitMessage(7);
    platform::Message message;
    while (MessageQueue::current().getMessage(message))
        MessageQueue::current().dispatchMessage(message);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(window.seen, (std::vector<UINT>{kPing, kPing + 1}));
}

TEST(MessageQueue, UnknownOrDestroyedWindowAnswersZero)
{
    const HWND hwnd =
        MessageQueue::current().createWindow([](HWND, UINT, WPARAM, LPARAM) { return LRESULT{1}; });
    // A worker blocked in a send must be released when the window goes.
    std::atomic<LRESULT> result{-1};
    platform::Event sending(platform::Event::ResetPolicy::Manual);
    std::thread worker([&] {
        sending.set();
        result = platform::sendMessage(hwnd, kPing, 0, 0);
    });
    ASSERT_TRUE(sending.waitFor(10s));
    // The send may or may not have been queued yet; either way it must end with 0.
    MessageQueue::current().destroyWindow(hwnd);
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(platform::isWindow(hwnd));
    EXPECT_FALSE(platform::postMessage(hwnd, kPing, 0, 0));
    EXPECT_EQ(platform::sendMessage(hwnd, kPing, 0, 0), 0);
}

TEST(MessageQueue, TwoUiThreadsSendingToEachOtherDoNotDeadlock)
{
    RecordingWindow mainWindow;
    std::atomic<HWND> otherWindow{nullptr};
    platform::Event ready(platform::Event::ResetPolicy::Manual);
    std::thread other([&] {
        auto& queue = MessageQueue::current();
        otherWindow = queue.createWindow([&](HWND, UINT msg, WPARAM, LPARAM) {
            // Sends back to the main thread while the main thread waits for this answer.
            return msg == kPing ? platform::sendMessage(mainWindow.hwnd, kPing, 50, 0) : 0;
        });
        ready.set();
        platform::Message message;
        while (queue.getMessage(message))
            queue.dispatchMessage(message);
        queue.destroyWindow(otherWindow);
    });
    ASSERT_TRUE(ready.waitFor(10s));
    EXPECT_EQ(platform::sendMessage(otherWindow, kPing, 0, 0), 100);
    EXPECT_EQ(mainWindow.threads.at(0), std::this_thread::get_id());
    // A posted WM_QUIT ends the other thread's loop like postQuitMessage would.
    platform::postMessage(otherWindow, WM_QUIT, 0, 0);
    other.join();
}

TEST(MessageQueue, TimerSetFromWorkerFiresOnOwnerThread)
{
    RecordingWindow window;
    std::thread worker([&] { EXPECT_TRUE(platform::setTimer(window.hwnd, 1002, 5ms)); });
    worker.join();
    EXPECT_TRUE(MessageQueue::current().runUntil([&] { return !window.seen.empty(); }, soon()));
    EXPECT_EQ(window.seen.at(0), 0x10000u + 1002);
    EXPECT_EQ(window.threads.at(0), std::this_thread::get_id());
    EXPECT_TRUE(platform::killTimer(window.hwnd, 1002));
    EXPECT_FALSE(platform::killTimer(window.hwnd, 1002));
}

TEST(MessageQueue, RestartingATimerReplacesItsPeriod)
{
    RecordingWindow window;
    ASSERT_TRUE(platform::setTimer(window.hwnd, 1, 1h));
    ASSERT_TRUE(platform::setTimer(window.hwnd, 1, 1ms));
    EXPECT_TRUE(MessageQueue::current().runUntil([&] { return window.seen.size() >= 3; }, soon()));
    platform::killTimer(window.hwnd, 1);
}

TEST(MessageQueue, PumpPendingReturnsWithAFastTimerRunning)
{
    RecordingWindow window;
    ASSERT_TRUE(platform::setTimer(window.hwnd, 9, 1ms));
    MessageQueue::current().runUntil([&] { return !window.seen.empty(); }, soon());
    EXPECT_TRUE(MessageQueue::current().pumpPending());
    platform::killTimer(window.hwnd, 9);
}
