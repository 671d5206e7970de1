#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

// A waitable event in the manner of the system's event objects.
//
// Manual reset: once set it stays set and releases every waiter until reset().
// Auto reset: each set() releases exactly one waiter (or the next wait()) and clears.
// Thread-safe. Copying is meaningless for a synchronisation object and is deleted.
//
// For waits on richer state than one flag, use a mutex with a condition variable.
class Event {
public:
    enum class ResetPolicy { Manual, Automatic };
    enum class InitialState { NotSignaled, Signaled };

    explicit Event(ResetPolicy policy, InitialState initial = InitialState::NotSignaled);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    bool isSet() const;

    void wait();
    // True when the event was signalled within the time-out; false when it timed out.
    // A zero time-out only tests (and, for auto reset, consumes) the state.
    [[nodiscard]] bool waitFor(std::chrono::nanoseconds timeout);
    [[nodiscard]] bool waitUntil(std::chrono::steady_clock::time_point deadline);

    // Waits for whichever of several events is signalled first and returns its index
    // (the lowest index when several are); nullopt on time-out. An auto-reset event is
    // consumed only when it is the one returned.
    [[nodiscard]] static std::optional<std::size_t> waitForAny(std::initializer_list<Event*> events,
                                                               std::chrono::nanoseconds timeout);
    // The same without a time-out, for threads that have nothing to do until told.
    [[nodiscard]] static std::size_t waitForAny(std::initializer_list<Event*> events);

private:
    struct Waiter;
    friend struct Waiter;

    bool tryConsumeLocked();
    static std::optional<std::size_t>
    waitForAnyUntil(std::initializer_list<Event*> events,
                    std::optional<std::chrono::steady_clock::time_point> deadline);
    void addWaiter(const std::shared_ptr<Waiter>& waiter);
    void removeWaiter(const std::shared_ptr<Waiter>& waiter);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    ResetPolicy m_policy;
    bool m_signaled;
    // Waiters of waitForAny registered on this event; woken by set().
    std::vector<std::shared_ptr<Waiter>> m_waiters;
};

} // namespace platform
