#pragma once

// The pace of a full-speed USB interrupt interface: at most one report per direction per
// 1 ms frame, and an answer no earlier than the frame after its request. Off by default so
// tests run at memory speed; benchmarks turn it on to compare against the physical limit.

#include <chrono>
#include <cstdint>
#include <mutex>

namespace devsim {

class UsbTiming {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFrame{1};

    void setEnabled(bool enabled);
    bool isEnabled() const;

    // Waits until this host-to-device report may go; returns its frame number.
    std::int64_t waitForOut();
    // Waits until a device-to-host report may go, after the frame `after` (-1: any).
    void waitForIn(std::int64_t after = -1);

    // Reports that went in each direction since enabling.
    std::uint64_t outReports() const;
    std::uint64_t inReports() const;

private:
    std::int64_t frameNow() const;

    mutable std::mutex m_lock;
    bool m_enabled = false;
    Clock::time_point m_epoch;
    std::int64_t m_lastOut = -1;
    std::int64_t m_lastIn = -1;
    std::uint64_t m_outReports = 0;
    std::uint64_t m_inReports = 0;
};

} // namespace devsim
