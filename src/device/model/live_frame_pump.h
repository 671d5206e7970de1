#pragma once

// Carries live frames to the keyboard on a thread of its own, so that whoever produces a
// frame (the tile's timer on the UI thread) never waits for the USB round trips of its
// seven chunks. One frame waits at most: a newer frame replaces one not yet sent, and that
// counts as dropped.

#include "platform/event.h"
#include "platform/worker_thread.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

namespace model {

// The largest frame a pump carries: a whole colour block.
inline constexpr std::size_t kPumpFrameCapacity = 512;
using LiveFrameBytes = std::array<std::uint8_t, kPumpFrameCapacity>;

struct LiveFrameCounts {
    std::uint64_t posted = 0;
    std::uint64_t sent = 0;
    std::uint64_t failed = 0;
    std::uint64_t dropped = 0; // replaced by a newer frame before it was sent
};

class LiveFramePump {
public:
    // Sends one frame; false when it did not arrive whole. Runs on the pump's thread.
    using Send = std::function<bool(std::span<const std::uint8_t>)>;
    static constexpr std::chrono::milliseconds kFailureBackOff{200};
    static constexpr std::chrono::milliseconds kStopTimeout{1000};

    explicit LiveFramePump(Send send);
    ~LiveFramePump();
    LiveFramePump(const LiveFramePump&) = delete;
    LiveFramePump& operator=(const LiveFramePump&) = delete;

    void start();
    // Returns once the thread has ended (a slow one is reported, then waited for).
    void stop();
    bool isRunning() const { return m_worker.isRunning(); }

    // Hands a frame over and returns at once; at most kPumpFrameCapacity bytes of it are kept.
    void post(std::span<const std::uint8_t> frame);
    // Flat out: the last frame is sent again as soon as the previous send is done, to
    // measure what the link carries.
    void setFlatOut(bool on);

    // Waits until the frame handed over last has been sent (or failed); false on time-out.
    [[nodiscard]] bool drain(std::chrono::milliseconds timeout);

    LiveFrameCounts counts() const;
    // The pump thread's CPU time, known once it has stopped.
    std::chrono::nanoseconds threadCpuTime() const { return m_cpuTime.load(); }

private:
    void run(platform::Event& stop);

    Send m_send;
    mutable std::mutex m_slotLock; // guards the slot and the counts
    LiveFrameBytes m_slot{};
    std::size_t m_size = 0;
    bool m_pending = false;
    bool m_haveFrame = false;
    bool m_sending = false;
    LiveFrameCounts m_counts;
    std::atomic<bool> m_flatOut{false};
    std::atomic<std::chrono::nanoseconds> m_cpuTime{};
    platform::Event m_wake{platform::Event::ResetPolicy::Automatic};
    platform::Event m_sent{platform::Event::ResetPolicy::Automatic};
    platform::Event m_ended{platform::Event::ResetPolicy::Manual};
    platform::WorkerThread m_worker;
    bool m_started = false;
};

} // namespace model
