// Software overhead of one command over an in-process simulated interface whose device side
// answers at once, against a raw write + read of one report on the same interface.
//
//   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVEK_TESTS=OFF
//   cmake --build build/release --target protocol_bench && build/release/bench/protocol_bench

#include "device/hid/hid_device.h"
#include "device/hid/sim/sim_interface.h"
#include "device/protocol/device_protocol.h"
#include "platform/debug_output.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Vendor collection: usage page 0xFF1C, usage 0x92, report id 4, 63 data bytes each way.
constexpr std::uint8_t kDescriptor[] = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75,
    0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x95, 0x3F, 0x91, 0x02, 0xC0,
};

// The device side: echoes each request's header with status 0, as a device that accepted it.
class EchoDevice {
public:
    EchoDevice()
        : m_interface({0x1A2C, 0x5078, 0x0100, 1}, kDescriptor,
                      [this](std::uint32_t, std::span<const std::uint8_t> report) {
                          std::array<std::uint8_t, 64> reply{};
                          std::copy_n(report.begin(), std::min<std::size_t>(report.size(), 8),
                                      reply.begin());
                          reply[7] = 0;
                          (void)m_interface.queueInput(reply);
                      })
    {
        m_interface.plug();
    }

    std::wstring path() const { return m_interface.path(1); }

private:
    hid::sim::SimInterface m_interface;
};

void rawRoundTrip(benchmark::State& state)
{
    EchoDevice device;
    CHidDevice link;
    if (!link.Open(device.path(), hid::kChannelMode)) {
        state.SkipWithError("cannot open the simulated interface");
        return;
    }
    std::array<std::uint8_t, 64> request{0x04, 0x1C, 0x00, 0x1C};
    std::array<std::uint8_t, 64> reply{};
    for (auto _ : state) {
        std::uint32_t count = 0;
        benchmark::DoNotOptimize(link.Write(request, count, std::chrono::milliseconds(1000)));
        benchmark::DoNotOptimize(link.Read(reply, count, std::chrono::milliseconds(1000)));
    }
}
BENCHMARK(rawRoundTrip);

void simpleCommand(benchmark::State& state)
{
    EchoDevice device;
    CDeviceProtocol channel;
    if (!channel.openLink(protocol::Link::Wired, device.path())) {
        state.SkipWithError("cannot open the simulated interface");
        return;
    }
    channel.setLinkMode(protocol::LinkMode::Wired);
    for (auto _ : state) {
        if (channel.HostLighting() != protocol::Status::Ok)
            state.SkipWithError("command failed");
    }
    platform::clearDebugLines();
}
BENCHMARK(simpleCommand);

void liveFrame(benchmark::State& state)
{
    EchoDevice device;
    CDeviceProtocol channel;
    if (!channel.openLink(protocol::Link::Wired, device.path())) {
        state.SkipWithError("cannot open the simulated interface");
        return;
    }
    channel.setLinkMode(protocol::LinkMode::Wired);
    std::vector<std::uint8_t> colours(384, 0x40);
    for (auto _ : state) {
        if (channel.LiveColours(colours, 0) != protocol::Status::Ok)
            state.SkipWithError("live frame failed");
    }
    state.counters["frames"] =
        benchmark::Counter(7.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(liveFrame);

} // namespace

BENCHMARK_MAIN();
