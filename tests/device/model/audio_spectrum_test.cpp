#include "device/model/audio_spectrum.h"

#include <gtest/gtest.h>

#include <limits>

using model::AudioSpectrum;

namespace {

std::vector<std::uint8_t> packet(auto sampleAt)
{
    std::vector<std::uint8_t> bytes(AudioSpectrum::kPacketBytes);
    for (std::size_t i = 0; i < AudioSpectrum::kSampleCount; ++i) {
        const auto sample = std::uint32_t(std::int32_t(sampleAt(i)));
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = std::uint8_t(sample >> (8 * b));
    }
    return bytes;
}

} // namespace

TEST(AudioSpectrum, MeansAndSpreadsCarryOverAndEveryThirdPacketIsHandedOn)
{
    AudioSpectrum spectrum;
    const auto steady = packet([](std::size_t) { return 100; });
    EXPECT_FALSE(spectrum.addPacket(steady)); // differences of 100 from silence
    EXPECT_EQ(spectrum.means()[0], 100);
    EXPECT_EQ(spectrum.spreads()[0], 0);
    EXPECT_FALSE(spectrum.addPacket(steady)); // no change: mean (100 + 0) / 20
    EXPECT_EQ(spectrum.means()[24], 5);
    EXPECT_EQ(spectrum.spreads()[24], 5); // root of (0 + 20 x 25) / 19 = root of 26

    const auto handed = spectrum.addPacket(steady);
    ASSERT_TRUE(handed);
    ASSERT_EQ(handed->size(), 500u);
    EXPECT_EQ((*handed)[0], 0); // (5 + 0) / 20
    EXPECT_EQ((*handed)[25], 0);
    EXPECT_FALSE(spectrum.addPacket(steady));
}

TEST(AudioSpectrum, ShortAndLongPayloadsReadOnlyWhatIsThere)
{
    AudioSpectrum spectrum;
    std::vector<std::uint8_t> longPayload = packet([](std::size_t) { return 0; });
    longPayload.resize(5000, 0xFF);
    (void)spectrum.addPacket(longPayload);
    EXPECT_EQ(spectrum.means()[24], 0);

    const std::uint8_t shortPayload[] = {40, 0, 0, 0, 7}; // one sample and a stray byte
    (void)spectrum.addPacket(shortPayload);
    EXPECT_EQ(spectrum.means()[0], 2); // one difference of 40 among twenty
    EXPECT_EQ(spectrum.means()[1], 0);
}

TEST(AudioSpectrum, ExtremeSamplesSaturateInsteadOfOverflowing)
{
    AudioSpectrum spectrum;
    const auto swing = packet([](std::size_t i) {
        return i % 2 ? std::numeric_limits<std::int32_t>::max()
                     : std::numeric_limits<std::int32_t>::min();
    });
    const auto flipped = packet([](std::size_t i) {
        return i % 2 ? std::numeric_limits<std::int32_t>::min()
                     : std::numeric_limits<std::int32_t>::max();
    });
    for (int i = 0; i < 6; ++i)
        (void)spectrum.addPacket(i % 2 ? flipped : swing);
    for (std::size_t band = 0; band < AudioSpectrum::kBandCount; ++band) {
        EXPECT_GE(spectrum.means()[band], 0);
        EXPECT_GE(spectrum.spreads()[band], 0);
    }
    EXPECT_EQ(spectrum.means()[0], std::numeric_limits<std::int32_t>::max());
}
