#include "device/model/audio_spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace model {

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
// The largest difference whose square still fits 64 bits.
constexpr std::int64_t kLargestSquared = 3037000499;

std::int32_t saturate(std::int64_t value)
{
    return std::int32_t(std::clamp(value, kInt32Min, kInt32Max));
}

std::int64_t addSaturating(std::int64_t sum, std::int64_t term)
{
    return sum > kInt64Max - term ? kInt64Max : sum + term;
}

// Integer square root; a negative value has none and gives 0.
std::int32_t integerRoot(std::int32_t value)
{
    if (value <= 0)
        return 0;
    auto root = std::int64_t(std::sqrt(double(value)));
    while (root * root > value)
        --root;
    while ((root + 1) * (root + 1) <= value)
        ++root;
    return std::int32_t(root);
}

} // namespace

std::optional<std::vector<std::int32_t>>
AudioSpectrum::addPacket(std::span<const std::uint8_t> payload)
{
    ++m_packets;
    std::array<std::int32_t, kSampleCount> differences{};
    const std::size_t available = std::min(payload.size(), kPacketBytes) / 4;
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        std::int32_t sample = 0;
        if (i < available) {
            const std::uint8_t* bytes = payload.data() + 4 * i;
            sample = std::int32_t(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                  std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
        }
        const std::int64_t difference = std::int64_t(sample) - m_previous[i];
        differences[i] = saturate(difference < 0 ? -difference : difference);
        m_previous[i] = sample;
    }

    for (std::size_t band = 0; band < kBandCount; ++band) {
        const auto first = differences.begin() + std::ptrdiff_t(band * kBandWidth);
        std::int64_t sum = 0;
        for (auto it = first; it != first + kBandWidth; ++it)
            sum += *it;
        m_means[band] = saturate((m_means[band] + sum) / std::int64_t(kBandWidth));

        std::int64_t squares = 0;
        for (auto it = first; it != first + kBandWidth; ++it) {
            const std::int64_t deviation =
                std::min(std::abs(std::int64_t(*it) - m_means[band]), kLargestSquared);
            squares = addSaturating(squares, deviation * deviation);
        }
        const std::int64_t spread =
            addSaturating(squares, std::max<std::int64_t>(m_spreads[band], 0)) /
            std::int64_t(kBandWidth - 1);
        m_spreads[band] = integerRoot(saturate(spread));
    }

    if (m_packets <= 2)
        return std::nullopt;
    m_packets = 0;
    std::vector<std::int32_t> values(kSampleCount, 0);
    std::copy(m_means.begin(), m_means.end(), values.begin());
    return values;
}

} // namespace model
