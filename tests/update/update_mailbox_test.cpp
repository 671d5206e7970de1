#include "update/update_mailbox.h"

#include "platform/message_queue.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT kNoticesWaiting = WM_USER + 7;

// The check thread's notices reach a window on this thread as posted messages; after the
// window is gone they stay in the mailbox and nothing is touched.
TEST(UpdateMailbox, NoticesReachTheWindowThreadInOrder)
{
    auto& queue = platform::MessageQueue::current();
    auto mailbox = std::make_shared<update::UpdateMailbox>();
    std::vector<update::UpdateNotice> received;
    const HWND window = queue.createWindow([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kNoticesWaiting) {
            for (auto& notice : mailbox->takeAll())
                received.push_back(std::move(notice));
        }
        return 0;
    });
    update::UpdateCheckThread thread;
    ASSERT_TRUE(thread.start({}, {}, update::postToWindow(mailbox, window, kNoticesWaiting)));
    EXPECT_TRUE(queue.runUntil([&] { return !received.empty(); },
                               std::chrono::steady_clock::now() + std::chrono::seconds(10)));
    EXPECT_TRUE(thread.stop());
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].kind, update::UpdateNotice::Kind::NotConfigured);

    queue.destroyWindow(window);
    update::UpdateCheckThread late;
    ASSERT_TRUE(late.start({}, {}, update::postToWindow(mailbox, window, kNoticesWaiting)));
    EXPECT_TRUE(late.stop(std::chrono::seconds(10)));
    queue.pumpPending();
    EXPECT_EQ(received.size(), 1u);
    EXPECT_EQ(mailbox->takeAll().size(), 1u);
}

} // namespace
