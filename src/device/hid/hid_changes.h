#pragma once

// Wakes whoever watches the system's HID collections when one may have come or gone: the
// system's device events for hidraw nodes, the simulated interfaces when they are plugged
// or unplugged, and any connection whose device leaves.

#include "platform/event.h"

namespace hid {

// While one exists, the system's device events are watched. Thread-safe.
class ChangeWatch {
public:
    ChangeWatch();
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // Auto-reset: set by every change since it was last waited for.
    platform::Event& event() { return m_event; }
    // False when the system's device events cannot be had: only the process's own
    // changes wake the event then.
    bool hasSystemEvents() const;

private:
    platform::Event m_event{platform::Event::ResetPolicy::Automatic};
};

// Sets the event of every watch. Backends call it; any thread.
void notifyChange();

} // namespace hid
