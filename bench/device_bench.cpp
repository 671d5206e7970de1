// Whole device sequences over the emulated keyboard with USB timing on (one report per
// direction per millisecond), against that physical limit: the frames the protocol needs
// at 1 ms each, plus the 10 ms pause before each End.
//
//   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVEK_TESTS=OFF
//   cmake --build build/release --target device_bench && build/release/bench/device_bench
//
// Counters: frames (sent per run), expected (what the protocol needs), limit_ms, and
// ratio = wall time / limit (target: at most 1.1).

#include "device/protocol/device_protocol.h"
#include "device/protocol/sequences.h"
#include "devsim/keyboard.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <vector>

namespace {

constexpr std::size_t kKeySlots = 126;
constexpr std::size_t kBlock = 3 * kKeySlots;

std::size_t framesFor(std::size_t bytes, std::size_t chunk)
{
    return (bytes + chunk - 1) / chunk;
}

struct Setup {
    devsim::Keyboard keyboard;
    CDeviceProtocol channel;

    explicit Setup(devsim::KeyboardLink link)
    {
        keyboard.plug(link);
        const bool receiver = link == devsim::KeyboardLink::Receiver;
        (void)channel.openLink(receiver ? protocol::Link::Receiver : protocol::Link::Wired,
                               keyboard.commandPath(link));
        channel.setLinkMode(receiver ? protocol::LinkMode::Receiver : protocol::LinkMode::Wired);
        (void)channel.setBlockSize(kBlock);
        keyboard.setUsbTiming(true);
    }
};

// Runs the sequence once per iteration and reports frames and time against the limit.
void measure(benchmark::State& state, devsim::KeyboardLink link, std::size_t expectedFrames,
             int ends, const std::function<bool(CDeviceProtocol&)>& sequence)
{
    Setup setup(link);
    auto& timing = setup.keyboard.usbTiming(link);
    std::uint64_t frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto before = timing.outReports();
        const auto start = std::chrono::steady_clock::now();
        if (!sequence(setup.channel)) {
            state.SkipWithError("the sequence failed");
            return;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        seconds += took.count();
        frames += timing.outReports() - before;
    }
    const double runs = static_cast<double>(state.iterations());
    const double perRun = static_cast<double>(frames) / runs;
    const double limitMs = perRun * 1.0 + 10.0 * ends;
    state.counters["frames"] = perRun;
    state.counters["expected"] = static_cast<double>(expectedFrames);
    state.counters["limit_ms"] = limitMs;
    state.counters["ratio"] = (seconds / runs * 1000.0) / limitMs;
}

std::vector<protocol::Macro> twoMacros()
{
    const protocol::MacroEvent down{20, 1, true, 0x04};
    const protocol::MacroEvent up{20, 1, false, 0x04};
    return {protocol::Macro{{down, up, down}}, protocol::Macro{{down, up, down, up, down}}};
}

void keyMapWrite(benchmark::State& state, devsim::KeyboardLink link)
{
    const std::vector<std::uint8_t> keyMap(kBlock, 0x20);
    const std::size_t chunk = link == devsim::KeyboardLink::Cable ? protocol::kWiredChunkSize
                                                                  : protocol::kReceiverChunkSize;
    // ReadInfo, Begin, the key map, End.
    const std::size_t expected = framesFor(34, chunk) + 1 + framesFor(kBlock, chunk) + 1;
    measure(state, link, expected, 1, [&](CDeviceProtocol& channel) {
        protocol::InfoBlock info{};
        return protocol::writeKeyMapBlock(channel, info, keyMap) == protocol::Status::Ok;
    });
}

void fullRead(benchmark::State& state, devsim::KeyboardLink link)
{
    const std::size_t chunk = link == devsim::KeyboardLink::Cable ? protocol::kWiredChunkSize
                                                                  : protocol::kReceiverChunkSize;
    // Begin, ReadInfo, the layout, the LED map, End.
    const std::size_t expected =
        1 + framesFor(34, chunk) + framesFor(kBlock, chunk) + framesFor(kKeySlots, chunk) + 1;
    measure(state, link, expected, 1, [](CDeviceProtocol& channel) {
        protocol::DeviceBlocks blocks;
        const auto result = protocol::fullRead(channel, blocks);
        return result.outcome == protocol::FullReadOutcome::Completed &&
               result.firstFailure == protocol::Status::Ok;
    });
}

void profileWrite(benchmark::State& state, devsim::KeyboardLink link)
{
    const auto macros = twoMacros();
    const std::vector<std::uint8_t> keyMap(kBlock, 0x20);
    protocol::SlotRecord record{};
    record[1] = 3;
    const std::size_t chunk = link == devsim::KeyboardLink::Cable ? protocol::kWiredChunkSize
                                                                  : protocol::kReceiverChunkSize;
    const std::size_t macroBytes = static_cast<std::size_t>(protocol::macroBlockSize(macros));
    const std::size_t info = framesFor(34, chunk);
    const std::size_t expected = (info + 1 + framesFor(macroBytes, chunk) + 1) +
                                 (info + 1 + framesFor(kBlock, chunk) + 1) +
                                 (1 + framesFor(record.size(), chunk) + 1);
    measure(state, link, expected, 3, [&](CDeviceProtocol& channel) {
        protocol::InfoBlock block{};
        return protocol::writeMacroBlock(channel, block, macros).isWritten() &&
               protocol::writeKeyMapBlock(channel, block, keyMap) == protocol::Status::Ok &&
               protocol::writeSlotRecord(channel, 0, record) == protocol::Status::Ok;
    });
}

} // namespace

BENCHMARK_CAPTURE(keyMapWrite, cable, devsim::KeyboardLink::Cable)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(keyMapWrite, receiver, devsim::KeyboardLink::Receiver)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(fullRead, cable, devsim::KeyboardLink::Cable)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(fullRead, receiver, devsim::KeyboardLink::Receiver)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(profileWrite, cable, devsim::KeyboardLink::Cable)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(profileWrite, receiver, devsim::KeyboardLink::Receiver)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

BENCHMARK_MAIN();
