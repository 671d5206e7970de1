// Software cost of the HID layer over the in-process simulated keyboard: one command
// frame's write and reply read, and how soon Close ends a read waiting on another thread.
// Baseline: one event set and wait on the same thread, the floor of any hand-over.

#include "device/hid/hid_device.h"
#include "device/usb_ids.h"
#include "devsim/keyboard_interfaces.h"
#include "platform/event.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

void BM_EventBaseline(benchmark::State& state)
{
    platform::Event event(platform::Event::ResetPolicy::Automatic);
    for (auto _ : state) {
        event.set();
        benchmark::DoNotOptimize(event.waitFor(1s));
    }
}
BENCHMARK(BM_EventBaseline);

void BM_FrameRoundTrip(benchmark::State& state)
{
    devsim::KeyboardInterfaces keyboard(devsim::KeyboardLink::Cable);
    keyboard.plug();
    CHidDevice device;
    if (!device.Open(keyboard.compositeInterface().path(usb::kCommandCollection),
                     hid::kChannelMode)) {
        state.SkipWithError("open failed");
        return;
    }
    std::array<std::uint8_t, 64> frame{usb::kCommandReportId, 0, 0, 0x12};
    std::array<std::uint8_t, 64> reply{};
    std::uint32_t count = 0;
    for (auto _ : state) {
        if (device.Write(frame, count, 1000ms) != 1 || device.Read(reply, count, 1000ms) != 1) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
}
BENCHMARK(BM_FrameRoundTrip);

// Time from Close to the waiting read's return, measured by hand per iteration.
void BM_CloseEndsWaitingRead(benchmark::State& state)
{
    devsim::KeyboardInterfaces keyboard(devsim::KeyboardLink::Cable);
    keyboard.plug();
    const auto path = keyboard.compositeInterface().path(usb::kCommandCollection);
    CHidDevice device;
    for (auto _ : state) {
        if (!device.Open(path, hid::kChannelMode)) {
            state.SkipWithError("open failed");
            break;
        }
        platform::Event started(platform::Event::ResetPolicy::Manual);
        std::chrono::steady_clock::time_point returned;
        std::thread reader([&] {
            std::array<std::uint8_t, 64> buffer{};
            std::uint32_t count = 0;
            started.set();
            (void)device.Read(buffer, count, 60s);
            returned = std::chrono::steady_clock::now();
        });
        started.wait();
        // Give the reader time to be inside its wait; this is the bench, not the product.
        std::this_thread::sleep_for(2ms);
        const auto closed = std::chrono::steady_clock::now();
        device.Close();
        reader.join();
        state.SetIterationTime(std::chrono::duration<double>(returned - closed).count());
    }
}
BENCHMARK(BM_CloseEndsWaitingRead)->UseManualTime()->Iterations(200);

} // namespace

BENCHMARK_MAIN();
