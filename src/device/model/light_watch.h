#pragma once

#include "device/model/light_colours.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

namespace model {

// Counts the changes of a device's light colours and wakes whoever shows them once after
// it went to sleep, so that the picture's timer runs only while something moves.
// Threads: changed() from any thread, comparePainted() from the lighting thread only,
// arm() and setWake() from the owner's (UI) thread.
class LightWatch {
public:
    // Called off the owner's thread; must not block.
    using Wake = std::function<void()>;

    std::uint64_t changes() const { return m_changes.load(); }
    // The colours changed.
    void changed();
    // A pass painted the colours: changed() when any of the first `count` differs from what
    // the previous pass left.
    void comparePainted(const LightColourList& lights, std::size_t count);
    // Asks for one wake at the next change after `seen`. False when there was one already
    // (no wake comes: look again now); true when the wake will come.
    bool arm(std::uint64_t seen);
    // Once it returns, the previous wake is not called any more.
    void setWake(Wake wake);

private:
    std::atomic<std::uint64_t> m_changes{0};
    std::atomic<bool> m_armed{false};
    std::mutex m_wakeLock; // guards m_wake
    Wake m_wake;
    std::array<std::uint32_t, kLightCount> m_lastPainted{}; // lighting thread only
};

} // namespace model
