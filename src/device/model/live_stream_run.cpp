#include "device/model/live_stream_run.h"

#include "device/model/keyboard_model.h"
#include "platform/event.h"

namespace model {

LiveStreamReport runLiveStream(KeyboardModel& keyboard, const LiveStreamOptions& options)
{
    using Clock = std::chrono::steady_clock;
    LiveStreamReport report;
    report.modeSendsFrames = keyboard.setEffectSettings(options.settings);
    const LiveFrameCounts countsBefore = keyboard.framePump().counts();
    const std::uint64_t stepsBefore = keyboard.framesPainted();
    const std::uint64_t handedBefore = keyboard.framesHandedOver();

    keyboard.StartLighting();
    keyboard.framePump().setFlatOut(options.flatOut);
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + options.duration;
    Clock::duration longest{};
    // Nothing sets it: the timer waits for its next tick on it, as a message loop would.
    platform::Event timer(platform::Event::ResetPolicy::Manual);
    for (Clock::time_point tick = start; tick < end; tick += kLiveFrameInterval) {
        (void)timer.waitUntil(tick);
        const Clock::time_point before = Clock::now();
        keyboard.SendLiveFrame();
        longest = std::max(longest, Clock::now() - before);
    }
    // The last step still goes out, as the next tick of the timer would send it.
    keyboard.lightingThread().stop();
    keyboard.SendLiveFrame();
    if (!options.flatOut)
        (void)keyboard.framePump().drain(std::chrono::seconds(1));
    keyboard.framePump().setFlatOut(false);
    keyboard.StopLighting();
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();

    const LiveFrameCounts counts = keyboard.framePump().counts();
    report.steps = keyboard.framesPainted() - stepsBefore;
    report.sent = counts.sent - countsBefore.sent;
    report.failed = counts.failed - countsBefore.failed;
    const std::uint64_t handedOver = keyboard.framesHandedOver() - handedBefore;
    // Flat out, a frame replaced before it went is the point, not a loss.
    if (!options.flatOut) {
        report.replaced = counts.dropped - countsBefore.dropped;
        report.notHandedOver =
            report.modeSendsFrames && report.steps > handedOver ? report.steps - handedOver : 0;
    }
    const auto share = [&](std::chrono::nanoseconds cpu) {
        return std::chrono::duration<double>(cpu).count() / report.seconds;
    };
    report.lightingCpuShare = share(keyboard.lightingThread().threadCpuTime());
    report.senderCpuShare = share(keyboard.framePump().threadCpuTime());
    report.longestStall = longest;
    return report;
}

} // namespace model
