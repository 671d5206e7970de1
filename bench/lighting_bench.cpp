// One step of every lighting mode over the keyboard's 170 lights, against a baseline that
// writes every light once, measured in the same run: the "x_baseline" counter is each
// benchmark's time per step divided by the baseline's.
//
// The lighting thread's own cost is measured by running it:
//   halvekctl light cpu --mode 4 --speed 4 --seconds 10
#include "device/model/lighting_engine.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

double g_baselineSeconds = 0; // one baseline pass, measured before the benchmarks run

// Not inlined, so the pass costs the same in the timing loop and in the benchmark.
[[gnu::noinline]] void writeEveryLight(model::LightColourList& lights, std::uint8_t value)
{
    for (std::size_t light = 0; light < model::kLightCount; ++light)
        lights.set(light, model::LightColour{value, value, value, 255});
    benchmark::DoNotOptimize(lights.word(0));
}

void measureBaseline()
{
    model::LightColourList lights;
    constexpr int kPasses = 200000;
    const auto start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < kPasses; ++pass)
        writeEveryLight(lights, std::uint8_t(pass));
    g_baselineSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kPasses;
}

// Wall time of the benchmark loop per iteration, as a multiple of one baseline pass.
class BaselineRatio {
public:
    explicit BaselineRatio(benchmark::State& state)
        : m_state(state), m_start(std::chrono::steady_clock::now())
    {
    }
    ~BaselineRatio()
    {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        m_state.counters["x_baseline"] =
            benchmark::Counter(seconds / g_baselineSeconds, benchmark::Counter::kAvgIterations);
    }

private:
    benchmark::State& m_state;
    std::chrono::steady_clock::time_point m_start;
};

void BM_BaselineWriteEveryLight(benchmark::State& state)
{
    model::LightColourList lights;
    std::uint8_t value = 0;
    BaselineRatio ratio(state);
    for (auto _ : state)
        writeEveryLight(lights, ++value);
}
BENCHMARK(BM_BaselineWriteEveryLight);

void BM_ModeStep(benchmark::State& state)
{
    const int mode = int(state.range(0));
    const int style = int(state.range(1));
    model::LightingEngine engine(7);
    model::AudioSettings audio;
    audio.style = std::uint8_t(style);
    audio.multiColour = 1;
    engine.setAudioSettings(audio);
    model::EffectSettings settings;
    settings.mode = std::uint8_t(mode);
    settings.speed = 4;
    settings.brightness = 4;
    settings.direction = 1;
    settings.multiColour = 1;
    engine.setSettings(settings);
    // The custom effect plays a one-step wave; the audio styles get fresh bands each step.
    std::vector<model::EffectStep> steps(1);
    steps[0].mode = 4;
    steps[0].brightness = 4;
    steps[0].time = 1 << 30;
    engine.setEffectSteps(steps);
    const std::int32_t bands[25] = {2000, 1500, 1000, 800,  600, 400, 200, 100, 50,
                                    0,    2000, 1500, 1000, 800, 600, 400, 200, 100,
                                    50,   0,    300,  300,  300, 300, 300};
    std::chrono::milliseconds now{1000};
    BaselineRatio ratio(state);
    for (auto _ : state) {
        if (mode == 29)
            engine.setAudioSpectrum(bands);
        engine.stepMode(now);
        now += std::chrono::milliseconds(16);
        benchmark::DoNotOptimize(engine.lights().word(0));
    }
    state.SetLabel(mode == 29 ? "audio style " + std::to_string(style)
                              : "mode " + std::to_string(mode));
}
BENCHMARK(BM_ModeStep)->ArgsProduct({benchmark::CreateDenseRange(0, 28, 1), {0}});
BENCHMARK(BM_ModeStep)->ArgsProduct({{29}, benchmark::CreateDenseRange(0, 6, 1)});
BENCHMARK(BM_ModeStep)->Args({30, 0});

void BM_OverlayOfEveryKey(benchmark::State& state)
{
    model::LightingEngine engine;
    std::vector<model::OverlayEntry> entries(model::kLightCount);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].mode = std::uint8_t(i % 5);
        entries[i].present = 1;
        entries[i].brightness = 4;
        entries[i].multiColour = 1;
    }
    engine.setOverlay(entries);
    std::chrono::milliseconds now{0};
    BaselineRatio ratio(state);
    for (auto _ : state) {
        engine.applyOverlay(now);
        now += std::chrono::milliseconds(16);
        benchmark::DoNotOptimize(engine.lights().word(0));
    }
}
BENCHMARK(BM_OverlayOfEveryKey);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    measureBaseline();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
