#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace model {

// Turns the audio-capture program's sample packets into the 25 band levels the keyboard's
// audio lighting follows. Each packet is 500 signed 32-bit samples (little-endian); each band
// is 20 consecutive sample-to-sample differences, and its mean and spread carry over from
// packet to packet. The samples come from another process, so the sums run in 64 bits and
// saturate to 32.
class AudioSpectrum {
public:
    static constexpr std::size_t kSampleCount = 500;
    static constexpr std::size_t kPacketBytes = kSampleCount * 4;
    static constexpr std::size_t kBandCount = 25;
    static constexpr std::size_t kBandWidth = kSampleCount / kBandCount;

    // Adds one packet; only its first 2000 bytes count, and samples it lacks read as 0.
    // On every third packet returns the buffer to hand the keyboard: the 25 band means,
    // then zeros up to 500 values.
    [[nodiscard]] std::optional<std::vector<std::int32_t>>
    addPacket(std::span<const std::uint8_t> payload);

    const std::array<std::int32_t, kBandCount>& means() const { return m_means; }
    const std::array<std::int32_t, kBandCount>& spreads() const { return m_spreads; }

private:
    std::array<std::int32_t, kSampleCount> m_previous{};
    std::array<std::int32_t, kBandCount> m_means{};
    std::array<std::int32_t, kBandCount> m_spreads{};
    int m_packets = 0;
};

} // namespace model
