#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace companion {

// One spectrum packet: 500 levels, each 0 (quiet, -80 dB or less) to 2000 (a full-scale
// sine), for 500 frequencies spaced evenly on a logarithmic scale from 40 Hz to 16 kHz.
inline constexpr std::size_t kSpectrumValues = 500;
inline constexpr double kLowestFrequency = 40.0;
inline constexpr double kHighestFrequency = 16000.0;
inline constexpr std::int32_t kFullLevel = 2000;

// Samples per analysis window and between two packets: at 44.1 kHz a packet every
// 1024 samples, 43 a second, each over the last 2048 samples.
inline constexpr std::size_t kWindowSize = 2048;
inline constexpr std::size_t kHopSize = 1024;

using SpectrumPacket = std::array<std::int32_t, kSpectrumValues>;

// Turns mono samples (-1 to 1) into spectrum packets through a Hann-windowed FFT.
// Not thread-safe; one per capture loop.
class SpectrumAnalyzer {
public:
    explicit SpectrumAnalyzer(double sampleRate);
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    // Takes the next kHopSize samples; returns the packet over the latest window.
    const SpectrumPacket& push(std::span<const float> hop);
    // Silence again, as at the start.
    void reset();

    // The loudness of the latest window, 0 (quiet) to 1 (full scale).
    double level() const { return m_level; }

private:
    struct Plan;

    double m_sampleRate;
    std::vector<float> m_history; // the last kWindowSize samples
    std::vector<float> m_window;  // Hann weights
    std::array<std::pair<std::size_t, std::size_t>, kSpectrumValues> m_bins{}; // per value
    SpectrumPacket m_packet{};
    double m_level = 0;
    std::unique_ptr<Plan> m_plan;
};

} // namespace companion
