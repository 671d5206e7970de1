#include "companion/audio/spectrum_analyzer.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

namespace companion {
namespace {

constexpr double kFloorDb = -80.0;
constexpr double kLevelPerDb = kFullLevel / -kFloorDb;

// FFTW's planner is not thread-safe.
std::mutex& plannerLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

struct SpectrumAnalyzer::Plan {
    float* input = nullptr;
    fftwf_complex* output = nullptr;
    fftwf_plan plan = nullptr;

    Plan()
    {
        std::lock_guard guard(plannerLock());
        input = fftwf_alloc_real(kWindowSize);
        output = fftwf_alloc_complex(kWindowSize / 2 + 1);
        plan = fftwf_plan_dft_r2c_1d(static_cast<int>(kWindowSize), input, output, FFTW_ESTIMATE);
    }
    ~Plan()
    {
        std::lock_guard guard(plannerLock());
        fftwf_destroy_plan(plan);
        fftwf_free(output);
        fftwf_free(input);
    }
};

SpectrumAnalyzer::SpectrumAnalyzer(double sampleRate)
    : m_sampleRate(sampleRate > 0 ? sampleRate : 44100.0), m_history(kWindowSize, 0.0f),
      m_window(kWindowSize), m_plan(std::make_unique<Plan>())
{
    for (std::size_t i = 0; i < kWindowSize; ++i)
        m_window[i] = static_cast<float>(
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / kWindowSize));
    // Each value covers the bins between the midpoints to its neighbours (at least one bin),
    // so low values share a bin and high ones take the loudest of several.
    const double binWidth = m_sampleRate / kWindowSize;
    const std::size_t lastBin = kWindowSize / 2;
    const double ratio = std::log(kHighestFrequency / kLowestFrequency);
    auto frequency = [&](double index) {
        return kLowestFrequency * std::exp(ratio * index / (kSpectrumValues - 1));
    };
    for (std::size_t i = 0; i < kSpectrumValues; ++i) {
        const double low = frequency(static_cast<double>(i) - 0.5) / binWidth;
        const double high = frequency(static_cast<double>(i) + 0.5) / binWidth;
        std::size_t first = static_cast<std::size_t>(std::lround(low));
        std::size_t last = static_cast<std::size_t>(std::lround(high));
        first = std::clamp<std::size_t>(first, 1, lastBin);
        last = std::clamp<std::size_t>(last, first, lastBin);
        m_bins[i] = {first, last};
    }
}

SpectrumAnalyzer::~SpectrumAnalyzer() = default;

void SpectrumAnalyzer::reset()
{
    std::fill(m_history.begin(), m_history.end(), 0.0f);
    m_packet.fill(0);
    m_level = 0;
}

const SpectrumPacket& SpectrumAnalyzer::push(std::span<const float> hop)
{
    const std::size_t count = std::min(hop.size(), kWindowSize);
    std::move(m_history.begin() + static_cast<std::ptrdiff_t>(count), m_history.end(),
              m_history.begin());
    std::copy_n(hop.begin(), count, m_history.end() - static_cast<std::ptrdiff_t>(count));

    double energy = 0;
    for (std::size_t i = 0; i < kWindowSize; ++i) {
        m_plan->input[i] = m_history[i] * m_window[i];
        energy += static_cast<double>(m_history[i]) * m_history[i];
    }
    fftwf_execute(m_plan->plan);

    // A full-scale sine under a Hann window peaks at a magnitude of a quarter of the window.
    const double fullScale = kWindowSize / 4.0;
    for (std::size_t i = 0; i < kSpectrumValues; ++i) {
        double peak = 0;
        for (std::size_t bin = m_bins[i].first; bin <= m_bins[i].second; ++bin) {
            const double re = m_plan->output[bin][0];
            const double im = m_plan->output[bin][1];
            peak = std::max(peak, re * re + im * im);
        }
        const double db = peak > 0 ? 10.0 * std::log10(peak / (fullScale * fullScale)) : kFloorDb;
        const double level = std::clamp((db - kFloorDb) * kLevelPerDb, 0.0, double(kFullLevel));
        m_packet[i] = static_cast<std::int32_t>(level);
    }
    const double rms = std::sqrt(energy / kWindowSize);
    const double rmsDb = rms > 0 ? 20.0 * std::log10(rms) : kFloorDb;
    m_level = std::clamp((rmsDb - kFloorDb) / -kFloorDb, 0.0, 1.0);
    return m_packet;
}

} // namespace companion
