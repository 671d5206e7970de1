#pragma once

#include "platform/message_queue.h"

#include <chrono>
#include <functional>
#include <vector>

namespace testing_support {

// A window on the test thread's queue that keeps every message it gets, for code that
// posts to a window from its worker threads.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    HWND hwnd() const { return m_hwnd; }
    // Called for each message as it is handled, before it is kept.
    std::function<void(const platform::Message&)> onMessage;
    const std::vector<platform::Message>& messages() const { return m_messages; }
    // Runs the test thread's loop until `count` messages arrived or a generous time-out
    // passed; true when they did.
    bool waitForCount(std::size_t count);
    // The same until the predicate holds.
    bool waitUntil(const std::function<bool()>& done);

private:
    HWND m_hwnd = nullptr;
    std::vector<platform::Message> m_messages;
};

} // namespace testing_support
