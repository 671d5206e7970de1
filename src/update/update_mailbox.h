#pragma once

#include "update/update_check.h"

#include "platform/window_messages.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace update {

// Hands the check thread's notices to a window without any pointer travelling in a
// message: the thread puts each notice here and posts a bare "notices waiting" message;
// the window takes them all when it handles it. The mailbox is shared, so a window that
// closed first leaves nothing dangling and nothing leaked.
class UpdateMailbox {
public:
    void put(UpdateNotice&& notice);
    // Everything put since the last call, in order.
    std::vector<UpdateNotice> takeAll();

private:
    std::mutex m_lock;
    std::deque<UpdateNotice> m_notices;
};

// The `post` function for UpdateCheckThread: into the mailbox, then `message` (wParam and
// lParam 0) posted to `window`. Posts to a window that is gone are dropped.
std::function<void(UpdateNotice&&)> postToWindow(std::shared_ptr<UpdateMailbox> mailbox,
                                                 HWND window, UINT message);

} // namespace update
