// The keyboard's device object against the emulated keyboard with USB timing on (one report
// per direction per millisecond).
//
//   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVEK_TESTS=OFF
//   cmake --build build/release --target device_object_bench
//   build/release/bench/device_object_bench
//
// apply: the factory profile written as on arrival (macros, key map, slot record, custom
//   colours, lighting); frames sent and ratio = wall time / (frames x 1 ms + 10 ms per End),
//   target at most 1.1.
// live_stream: mode 4 speed 4 for 3 s through the tile's 5 ms timer: steps and frames per
//   second, dropped (target 0), delivered = sent / steps (target 1), the lighting thread's share
//   of one core (target at most 1%), and the timer's longest hold-up against one synchronous
//   live frame send (stall_ratio: below 1 means the timer never waited for the link).
// live_flat_out: frames sent back to back; fps against the ceiling of seven chunks at one
//   report per millisecond (~143 fps), target at least 120 fps.

#include "device/model/keyboard_model.h"
#include "device/model/live_stream_run.h"
#include "device/model/profile_apply.h"
#include "devsim/keyboard.h"
#include "profile/profile_list.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>

namespace {

constexpr double kFrameMs = 1.0;
constexpr double kEndMs = 10.0;

// The emulated keyboard on its cable and a keyboard model with a data folder of its own.
class Bench {
public:
    Bench()
        : m_root(std::filesystem::temp_directory_path() /
                 ("halvek-devobj-bench-" + std::to_string(std::random_device{}())))
    {
        const std::filesystem::path factory = m_root / "DefaultData";
        std::filesystem::create_directories(factory);
        for (const char* name : {"keyboard.Json", "default_light.json"})
            std::filesystem::copy_file(
                std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData" / name,
                factory / name, std::filesystem::copy_options::overwrite_existing);
        keyboard.setDataRoot(m_root / "data");
        keyboard.setFactoryFolder(factory);
        profile::ProfileList list;
        list.SetDeviceKind(1);
        list.SetPaths(keyboard.dataFolder(), factory / "keyboard.Json");
        list.InitProfiles();
        keyboard.setProfileBaseName(list.GetCurrentProfileId());
        device.plug(devsim::KeyboardLink::Cable);
        (void)keyboard.channel().openLink(protocol::Link::Wired,
                                          device.commandPath(devsim::KeyboardLink::Cable));
        keyboard.channel().setLinkMode(protocol::LinkMode::Wired);
        device.setUsbTiming(true);
        ok = keyboard.ReadDevice() == protocol::Status::Ok &&
             keyboard.LoadProfile() == model::ProfileResult::Ok;
    }
    ~Bench()
    {
        keyboard.StopLighting();
        keyboard.channel().closeLinks();
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    std::filesystem::path m_root;
    devsim::Keyboard device;
    model::KeyboardModel keyboard;
    bool ok = false;
};

void apply(benchmark::State& state)
{
    Bench bench;
    if (!bench.ok) {
        state.SkipWithError("the keyboard could not be read");
        return;
    }
    auto& timing = bench.device.usbTiming(devsim::KeyboardLink::Cable);
    double seconds = 0;
    double limitMs = 0;
    std::uint64_t frames = 0;
    for (auto _ : state) {
        bench.device.clearReceived();
        const auto before = timing.outReports();
        const auto start = std::chrono::steady_clock::now();
        const model::ApplyReport report = model::applyProfile(bench.keyboard);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!report.isOk()) {
            state.SkipWithError("apply failed");
            return;
        }
        state.SetIterationTime(took.count());
        const auto sent = timing.outReports() - before;
        const auto commands = bench.device.commandsReceived();
        const auto ends = std::count(commands.begin(), commands.end(), std::uint8_t{2});
        seconds += took.count();
        frames += sent;
        limitMs += double(sent) * kFrameMs + double(ends) * kEndMs;
    }
    const double runs = double(state.iterations());
    state.counters["frames"] = double(frames) / runs;
    state.counters["limit_ms"] = limitMs / runs;
    state.counters["ratio"] = seconds * 1000.0 / limitMs;
}

// One synchronous live frame, as the timer would have sent it itself.
double synchronousSendMs(Bench& bench)
{
    const std::array<std::uint8_t, model::kLiveFrameSize> frame{};
    const int sends = 20;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < sends; ++i)
        (void)bench.keyboard.channel().LiveColours(frame, 0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
               .count() /
           sends;
}

void liveStream(benchmark::State& state, bool flatOut)
{
    Bench bench;
    if (!bench.ok) {
        state.SkipWithError("the keyboard could not be read");
        return;
    }
    const double sendMs = synchronousSendMs(bench);
    model::LiveStreamOptions options;
    options.settings.mode = 4;
    options.settings.speed = 4;
    options.settings.brightness = 4;
    options.settings.direction = 1;
    options.duration = std::chrono::seconds(3);
    options.flatOut = flatOut;
    model::LiveStreamReport report;
    for (auto _ : state) {
        report = model::runLiveStream(bench.keyboard, options);
        state.SetIterationTime(report.seconds);
    }
    state.counters["steps_per_s"] = report.stepsPerSecond();
    state.counters["fps"] = report.framesPerSecond();
    state.counters["dropped"] = double(report.dropped());
    state.counters["lighting_cpu_pct"] = 100 * report.lightingCpuShare;
    state.counters["sender_cpu_pct"] = 100 * report.senderCpuShare;
    state.counters["stall_ms"] = report.longestStall.count();
    state.counters["sync_send_ms"] = sendMs;
    state.counters["stall_ratio"] = report.longestStall.count() / sendMs;
    if (flatOut) {
        const double ceiling = 1000.0 / (kFrameMs * double((model::kLiveFrameSize + 55) / 56));
        state.counters["of_ceiling"] = report.framesPerSecond() / ceiling;
    } else {
        state.counters["delivered"] =
            report.steps ? double(report.sent) / double(report.steps) : 0.0;
    }
}

} // namespace

BENCHMARK(apply)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(liveStream, live_stream, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(liveStream, live_flat_out, true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
