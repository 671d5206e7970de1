#pragma once

// One file chooser request as its owner and the chooser's thread share it: taken once a
// chooser shows it, finished once with the user's answer. Each system's chooser keeps its
// own fields beside it under the same lock; calls taking a Lock need it held.

#include "platform/desktop_file_chooser.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

namespace platform {

class FileChoiceState {
public:
    using Lock = std::unique_lock<std::mutex>;
    [[nodiscard]] Lock lock() const { return Lock(m_mutex); }

    // Who is told once the request finishes: on the finishing thread, outside the lock.
    void setOnFinished(std::function<void()> notify);
    void forgetOnFinished(const Lock&) { m_onFinished = nullptr; }

    // A chooser shows the request; wakes the owner's wait once the lock is let go.
    void markTaken(const Lock&) { m_taken = true; }
    void notifyChanged() { m_changed.notify_all(); }
    bool isFinished(const Lock&) const { return m_finished; }
    // Shown and not answered yet: a request to withdraw.
    bool isOpen(const Lock&) const { return m_taken && !m_finished; }

    // Ends the request with `choice` and tells the owner; false when it had ended already.
    // `alongside` runs under the lock as it ends.
    bool finish(FileChoice choice, const std::function<void()>& alongside = {});
    // Ends it as Unavailable without telling anyone: start() reports it to its caller.
    void giveUp(const Lock&, std::string why);

    // Waits at most `limit` for a chooser to take the request or for it to end. One that did
    // neither ends as Unavailable with `late`, `onLate` running under the lock. False when
    // the request ended as Unavailable: the caller shows its own chooser.
    bool awaitTaken(std::chrono::milliseconds limit, const std::string& late,
                    const std::function<void()>& onLate = {});
    // Waits with the lock held until `done`, at most `limit`; whether `done` came.
    template <class Done> bool waitFor(Lock& held, std::chrono::milliseconds limit, Done done)
    {
        return m_changed.wait_for(held, limit, done);
    }

    bool isFinished() const;
    FileChoice result() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // guarded by m_mutex
    bool m_taken = false;
    bool m_finished = false;
    FileChoice m_result;
    std::function<void()> m_onFinished;
};

} // namespace platform
