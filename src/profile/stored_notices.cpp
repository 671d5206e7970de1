#include "profile/stored_notices.h"

#include "platform/debug_output.h"

#include <mutex>
#include <utility>

namespace profile {
namespace {

struct Mailbox {
    std::mutex lock;
    std::vector<StoredFileNotice> notices;
};

Mailbox& mailbox()
{
    static Mailbox box;
    return box;
}

} // namespace

void noteStoredFile(StoredFileNotice notice)
{
    platform::debugOutput(notice.text);
    Mailbox& box = mailbox();
    std::lock_guard guard(box.lock);
    box.notices.push_back(std::move(notice));
}

bool hasStoredFileNotices()
{
    Mailbox& box = mailbox();
    std::lock_guard guard(box.lock);
    return !box.notices.empty();
}

std::vector<StoredFileNotice> takeStoredFileNotices()
{
    Mailbox& box = mailbox();
    std::lock_guard guard(box.lock);
    return std::exchange(box.notices, {});
}

} // namespace profile
