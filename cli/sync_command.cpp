// Measures what the synchronised-lighting thread costs while no device is in sync mode.
#include "command_registry.h"
#include "profile_store.h"

#include "app/lighting_sync/sync_thread.h"
#include "platform/event.h"
#include "platform/worker_thread.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace {

namespace sync = app::lighting_sync;

constexpr const char* kUsage = R"(Usage: halvekctl sync cpu [--seconds S]

Runs the synchronised-lighting thread with no device in synchronised mode for S
seconds (default 60) and prints its share of one core, then does the same for a
thread that wakes every millisecond (the pacing of a polling loop) as the baseline.
)";

struct Share {
    double cpuSeconds = 0;
    double wallSeconds = 0;
    double percent() const { return wallSeconds > 0 ? 100 * cpuSeconds / wallSeconds : 0; }
};

// The process's processor time while `run` starts something and the caller waits.
template <class Start, class Stop>
Share measure(std::chrono::seconds duration, Start start, Stop stop)
{
    platform::Event never(platform::Event::ResetPolicy::Manual);
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    start();
    (void)never.waitFor(duration);
    stop();
    Share share;
    share.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    share.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return share;
}

int run(const cli::GlobalOptions&, const std::vector<std::string>& args)
{
    long seconds = 60;
    if (args.empty() || args[0] != "cpu")
        return cli::usage("sync takes 'cpu'");
    if (args.size() == 3 && args[1] == "--seconds") {
        const auto [end, error] =
            std::from_chars(args[2].data(), args[2].data() + args[2].size(), seconds);
        if (error != std::errc() || end != args[2].data() + args[2].size() || seconds < 1 ||
            seconds > 3600)
            return cli::usage("--seconds takes 1 to 3600");
    } else if (args.size() != 1) {
        return cli::usage("sync cpu takes only --seconds S");
    }
    const std::chrono::seconds duration(seconds);

    sync::DeviceLists devices;
    sync::SyncSettings settings;
    sync::SyncLightingThread thread(devices, settings);
    const Share idle = measure(
        duration, [&] { thread.start(); }, [&] { thread.stop(); });
    std::printf("synchronised-lighting thread, idle: CPU %.2f ms over %.1f s: %.4f%% of one "
                "core (%llu wakes)\n",
                idle.cpuSeconds * 1000, idle.wallSeconds, idle.percent(),
                static_cast<unsigned long long>(thread.idleWakes()));

    platform::WorkerThread polling;
    const Share baseline = measure(
        duration,
        [&] {
            polling.start("1 ms poll", [](platform::Event& stop) {
                while (!stop.waitFor(std::chrono::milliseconds(1))) {
                }
            });
        },
        [&] { polling.stop(std::chrono::milliseconds(1000)); });
    std::printf("baseline, a thread waking every 1 ms: CPU %.2f ms over %.1f s: %.4f%% of one "
                "core\n",
                baseline.cpuSeconds * 1000, baseline.wallSeconds, baseline.percent());
    if (baseline.cpuSeconds > 0)
        std::printf("idle thread / baseline: %.4f\n", idle.cpuSeconds / baseline.cpuSeconds);
    return 0;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "sync",
    "measure the synchronised-lighting thread's idle cost",
    kUsage,
    run,
});

} // namespace
