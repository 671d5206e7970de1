#include "update/update_mailbox.h"

#include "platform/message_queue.h"

namespace update {

void UpdateMailbox::put(UpdateNotice&& notice)
{
    std::lock_guard guard(m_lock);
    m_notices.push_back(std::move(notice));
}

std::vector<UpdateNotice> UpdateMailbox::takeAll()
{
    std::lock_guard guard(m_lock);
    std::vector<UpdateNotice> taken(std::make_move_iterator(m_notices.begin()),
                                    std::make_move_iterator(m_notices.end()));
    m_notices.clear();
    return taken;
}

std::function<void(UpdateNotice&&)> postToWindow(std::shared_ptr<UpdateMailbox> mailbox,
                                                 HWND window, UINT message)
{
    return [mailbox = std::move(mailbox), window, message](UpdateNotice&& notice) {
        mailbox->put(std::move(notice));
        platform::postMessage(window, message, 0, 0);
    };
}

} // namespace update
