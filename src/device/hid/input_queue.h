#pragma once

// The input side of one open connection, shared by the backends: reports wait here for a
// read, and the end of the connection (stopped by its owner, or the device gone) wakes
// every waiting transfer at once.

#include "device/hid/hid_backend.h"
#include "platform/event.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

namespace hid {

class InputQueue {
public:
    // As many reports as the system buffers per open handle; older ones are dropped.
    static constexpr std::size_t kCapacity = 32;

    explicit InputQueue(std::uint16_t reportLength) : m_reportLength(reportLength) {}

    void push(std::span<const std::uint8_t> report);
    void clear();
    void stop();
    void markGone();
    bool isStopped() const { return m_stopped.load(std::memory_order_relaxed); }
    bool isGone() const { return m_gone.load(std::memory_order_relaxed); }

    // The oldest report, padded or cut to the report length (never past the buffer).
    [[nodiscard]] Transfer pop(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout);
    // Waits until `ready` is set, the connection ends or the time-out passes.
    [[nodiscard]] Transfer waitUntilReady(platform::Event& ready,
                                          std::chrono::milliseconds timeout);
    // Stopped or Gone once the connection has ended, else Done.
    Transfer endState() const;

private:
    std::uint16_t m_reportLength;
    std::mutex m_lock;
    std::deque<std::vector<std::uint8_t>> m_reports;
    platform::Event m_arrived{platform::Event::ResetPolicy::Automatic};
    platform::Event m_ended{platform::Event::ResetPolicy::Manual};
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_gone{false};
};

} // namespace hid
