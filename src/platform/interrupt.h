#pragma once

// Turns the user's interrupt (Ctrl+C, or SIGTERM) into a call, so a command-line loop can
// end the way it ends by itself instead of being killed mid-way.

#include <functional>
#include <memory>

namespace platform {

class InterruptNotice {
public:
    // From now on an interrupt calls `onInterrupt` on a thread of the notice's own (post a
    // message from it; do not touch what another thread owns). A second notice replaces
    // the first while it lives.
    explicit InterruptNotice(std::function<void()> onInterrupt);
    // Interrupts end the program again, as before.
    ~InterruptNotice();
    InterruptNotice(const InterruptNotice&) = delete;
    InterruptNotice& operator=(const InterruptNotice&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
