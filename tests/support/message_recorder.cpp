#include "support/message_recorder.h"

namespace testing_support {

namespace {
// Only a hang reaches this; a passing test is done in milliseconds.
constexpr auto kWaitLimit = std::chrono::seconds(10);
} // namespace

MessageRecorder::MessageRecorder()
{
    m_hwnd = platform::MessageQueue::current().createWindow(
        [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const platform::Message got{hwnd, message, wParam, lParam};
            if (onMessage)
                onMessage(got);
            m_messages.push_back(got);
            return 0;
        });
}

MessageRecorder::~MessageRecorder()
{
    platform::MessageQueue::current().destroyWindow(m_hwnd);
}

bool MessageRecorder::waitForCount(std::size_t count)
{
    return waitUntil([&] { return m_messages.size() >= count; });
}

bool MessageRecorder::waitUntil(const std::function<bool()>& done)
{
    return platform::MessageQueue::current().runUntil(done, std::chrono::steady_clock::now() +
                                                                kWaitLimit);
}

} // namespace testing_support
