#pragma once

// The input side of one open connection, shared by the backends: reports wait here for a
// read, and the end of the connection (stopped by its owner, or the device gone) wakes
// every waiting transfer at once.
//
// A queue may also carry markers among its reports (the device server passes its clients'
// discards so): they leave in order with the reports, through popEntry only.

#include "device/hid/hid_backend.h"
#include "platform/event.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace hid {

class InputQueue {
public:
    // As many reports as the system buffers per open handle; older ones are dropped.
    static constexpr std::size_t kCapacity = 32;

    explicit InputQueue(std::uint16_t reportLength) : m_reportLength(reportLength) {}

    void push(std::span<const std::uint8_t> report);
    // Never dropped for room, nor by clear().
    void pushMarker(std::uint32_t marker);
    // Drops the reports; markers stay.
    void clear();
    void stop();
    void markGone();
    bool isStopped() const { return m_stopped.load(std::memory_order_relaxed); }
    bool isGone() const { return m_gone.load(std::memory_order_relaxed); }

    // The oldest report, padded or cut to the report length (never past the buffer).
    // Markers on the way are passed over.
    [[nodiscard]] Transfer pop(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout);
    // The oldest report or marker: `marker` holds a marker, and is empty for a report.
    [[nodiscard]] Transfer popEntry(std::span<std::uint8_t> buffer,
                                    std::chrono::milliseconds timeout,
                                    std::optional<std::uint32_t>& marker);
    // Waits until `ready` is set, the connection ends or the time-out passes.
    [[nodiscard]] Transfer waitUntilReady(platform::Event& ready,
                                          std::chrono::milliseconds timeout);
    // Stopped or Gone once the connection has ended, else Done.
    Transfer endState() const;

private:
    struct Entry {
        std::vector<std::uint8_t> report;
        std::optional<std::uint32_t> marker;
    };

    Transfer take(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout,
                  std::optional<std::uint32_t>* marker);

    std::uint16_t m_reportLength;
    std::mutex m_lock;
    std::deque<Entry> m_entries;
    std::size_t m_reportCount = 0; // entries that are reports
    platform::Event m_arrived{platform::Event::ResetPolicy::Automatic};
    platform::Event m_ended{platform::Event::ResetPolicy::Manual};
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_gone{false};
};

} // namespace hid
