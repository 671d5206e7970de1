#include "companion/audio/spectrum_analyzer.h"
#include "companion/audio/wav_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <span>

namespace {

using companion::kHopSize;
using companion::kSpectrumValues;

constexpr std::size_t kBands = 25;
constexpr std::size_t kBandWidth = kSpectrumValues / kBands;

// The band whose 20 values have the highest mean, as the program groups them.
std::size_t loudestBand(const companion::SpectrumPacket& packet)
{
    std::size_t best = 0;
    std::int64_t bestSum = -1;
    for (std::size_t band = 0; band < kBands; ++band) {
        const auto first = packet.begin() + static_cast<std::ptrdiff_t>(band * kBandWidth);
        const std::int64_t sum = std::accumulate(first, first + kBandWidth, std::int64_t{0});
        if (sum > bestSum) {
            bestSum = sum;
            best = band;
        }
    }
    return best;
}

std::vector<std::size_t> loudestBandsOf(const companion::MonoSound& sound)
{
    companion::SpectrumAnalyzer analyzer(sound.sampleRate);
    std::vector<std::size_t> bands;
    for (std::size_t at = 0; at + kHopSize <= sound.samples.size(); at += kHopSize)
        bands.push_back(loudestBand(
            analyzer.push(std::span<const float>(sound.samples).subspan(at, kHopSize))));
    return bands;
}

TEST(SpectrumAnalyzer, BandsFollowASineSweepUpwards)
{
    const auto bands = loudestBandsOf(companion::makeSweep(44100, 4, 60, 12000));
    ASSERT_GT(bands.size(), 100u);
    // Skip the first window, which still holds the silence before the sound.
    const std::size_t quarter = bands.size() / 4;
    EXPECT_LT(bands[2], bands[quarter]);
    EXPECT_LT(bands[quarter], bands[2 * quarter]);
    EXPECT_LT(bands[2 * quarter], bands[3 * quarter]);
    EXPECT_LT(bands[3 * quarter], bands.back());
    // Never more than a band backwards between two packets.
    for (std::size_t i = 3; i < bands.size(); ++i)
        EXPECT_GE(bands[i] + 1, bands[i - 1]) << i;
}

// The program turns packets into 25 band means of the change from the previous packet,
// carried over from packet to packet; the band that changes most must follow the sweep.
TEST(SpectrumAnalyzer, ProgramsBandMeansOfChangesFollowTheSweep)
{
    const auto sweep = companion::makeSweep(44100, 4, 60, 12000);
    companion::SpectrumAnalyzer analyzer(sweep.sampleRate);
    companion::SpectrumPacket previous{};
    std::array<std::int64_t, kBands> means{};
    std::vector<std::size_t> busiest;
    for (std::size_t at = 0; at + kHopSize <= sweep.samples.size(); at += kHopSize) {
        const auto& packet =
            analyzer.push(std::span<const float>(sweep.samples).subspan(at, kHopSize));
        for (std::size_t band = 0; band < kBands; ++band) {
            std::int64_t sum = 0;
            for (std::size_t i = band * kBandWidth; i < (band + 1) * kBandWidth; ++i)
                sum += std::abs(packet[i] - previous[i]);
            means[band] = (means[band] + sum) / 20;
        }
        previous = packet;
        busiest.push_back(
            static_cast<std::size_t>(std::max_element(means.begin(), means.end()) - means.begin()));
        EXPECT_LE(*std::max_element(means.begin(), means.end()), 2 * companion::kFullLevel);
    }
    const std::size_t quarter = busiest.size() / 4;
    EXPECT_LT(busiest[quarter], busiest[2 * quarter]);
    EXPECT_LT(busiest[2 * quarter], busiest[3 * quarter]);
    EXPECT_LT(busiest[3 * quarter], busiest[busiest.size() - 2]);
}

TEST(SpectrumAnalyzer, FullScaleSineReachesTheTopAndSilenceIsZero)
{
    companion::SpectrumAnalyzer analyzer(48000);
    std::vector<float> hop(kHopSize);
    const auto& silent = analyzer.push(hop);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](auto v) { return v == 0; }));
    EXPECT_EQ(analyzer.level(), 0);
    companion::SpectrumPacket packet{};
    for (std::size_t n = 0, i = 0; n < 4; ++n) {
        for (float& sample : hop) {
            sample = static_cast<float>(std::sin(2 * 3.14159265358979 * 1000.0 * i++ / 48000));
        }
        packet = analyzer.push(hop);
    }
    const auto peak = *std::max_element(packet.begin(), packet.end());
    EXPECT_GE(peak, 1900);
    EXPECT_LE(peak, companion::kFullLevel);
    EXPECT_GT(analyzer.level(), 0.9);
}

TEST(WavFile, SweepSurvivesAWriteAndRead)
{
    const auto sweep = companion::makeSweep(22050, 0.5, 100, 1000);
    const auto read = companion::parseWav(companion::encodeWav(sweep));
    ASSERT_TRUE(read) << read.error().message;
    EXPECT_EQ(read->sampleRate, 22050);
    ASSERT_EQ(read->samples.size(), sweep.samples.size());
    for (std::size_t i = 0; i < sweep.samples.size(); i += 101)
        EXPECT_NEAR(read->samples[i], sweep.samples[i], 1e-4);
}

TEST(WavFile, DamagedFilesAreRefusedClearly)
{
    const std::string good = companion::encodeWav(companion::makeSweep(8000, 0.1, 100, 200));
    std::string noFormat = good;
    noFormat.replace(12, 4, "junk");
    std::string hugeFormat = good;
    hugeFormat[16] = '\xff';
    hugeFormat[17] = '\xff';
    hugeFormat[18] = '\xff';
    hugeFormat[19] = '\x7f';
    std::string eightBit = good;
    eightBit[34] = 8;
    for (const std::string& bad :
         {std::string(), std::string("RIFF"), good.substr(0, 30), noFormat, hugeFormat, eightBit}) {
        const auto result = companion::parseWav(bad);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message.rfind("not a usable WAV file", 0), 0u);
    }
    // Cut off inside the samples: what is there is read.
    const auto cut = companion::parseWav(good.substr(0, good.size() - 100));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->samples.size(), 800u - 50u);
}

} // namespace
