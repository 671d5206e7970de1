// The audio companion end to end: halvek-audio plays a stepped sine sweep from a file and sends its
// packets as it does to the program; the program's feed hands them to the keyboard, whose
// audio lighting (the bars style) must follow the sweep from the low columns to the high.
#include "fake_sync_device.h"

#include "app/lighting_sync/feed_protocol.h"
#include "app/lighting_sync/spectrum_feed.h"
#include "device/model/lighting_engine.h"
#include "device/model/lighting_tables.h"
#include "platform/folders.h"
#include "platform/ipc.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <numbers>

namespace {

using detect::DeviceKind;
namespace fs = std::filesystem;

// A keyboard whose lighting runs the audio bars and notes where the lit columns are.
class AudioKeyboard : public testing_support::FakeSyncDevice {
public:
    AudioKeyboard() : FakeSyncDevice(DeviceKind::Keyboard)
    {
        model::AudioSettings audio;
        audio.style = 0;
        audio.background = {0, 0, 40};
        audio.foreground = {200, 100, 0};
        m_engine.setAudioSettings(audio);
        model::EffectSettings settings;
        settings.mode = 29;
        settings.brightness = 4;
        settings.direction = 1;
        m_engine.setSettings(settings);
    }

    void setAudioSpectrum(std::span<const std::int32_t> values) override
    {
        const auto loudest = std::max_element(values.begin(), values.begin() + 25);
        strongest.push_back(*loudest > 0 ? int(loudest - values.begin()) : -1);

        m_engine.setAudioSpectrum(values);
        m_engine.stepMode(std::chrono::milliseconds(0));
        // The mean column of the lit lights, by how brightly each shows the bar (lit ones
        // fade out over later steps), -1 when nothing is lit.
        double sum = 0;
        double weight = 0;
        for (int column = 0; column < model::kGridColumns; ++column) {
            for (int row = 0; row < model::kGridRows; ++row) {
                const auto light = model::gridLight(column, row);
                if (light == model::kNoLight)
                    continue;
                sum += double(column) * m_engine.intensity(light);
                weight += m_engine.intensity(light);
            }
        }
        centres.push_back(weight > 0 ? sum / weight : -1);
    }

    std::vector<double> centres;
    std::vector<int> strongest; // the band with the highest value handed on

private:
    model::LightingEngine m_engine;
};

// A stepped sweep at nearly full scale: twelve tone bursts from 80 Hz to 10 kHz, a quarter
// second each with a quarter second of silence after it, as 16-bit mono WAV. The program's
// feed reacts to change, so every burst starts a bar in the burst's band.
void writeSteppedSweep(const fs::path& file)
{
    constexpr int kRate = 44100;
    std::vector<std::int16_t> samples;
    double phase = 0;
    for (int step = 0; step < 12; ++step) {
        const double frequency = 80 * std::pow(10000.0 / 80, step / 11.0);
        for (int i = 0; i < kRate / 2; ++i) {
            phase += 2 * std::numbers::pi * frequency / kRate;
            const bool sounding = i < kRate / 4;
            samples.push_back(std::int16_t(sounding ? 29000 * std::sin(phase) : 0));
        }
    }
    auto u32 = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    const std::uint32_t bytes = std::uint32_t(samples.size() * 2);
    std::ofstream out(file, std::ios::binary);
    out << "RIFF" << u32(36 + bytes) << "WAVEfmt " << u32(16) << u16(1) << u16(1) << u32(kRate)
        << u32(kRate * 2) << u16(2) << u16(16) << "data" << u32(bytes);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

double meanOf(const std::vector<double>& values, std::size_t from, std::size_t to)
{
    double sum = 0;
    int count = 0;
    for (std::size_t i = from; i < to && i < values.size(); ++i) {
        if (values[i] >= 0) {
            sum += values[i];
            ++count;
        }
    }
    return count > 0 ? sum / count : -1;
}

} // namespace

TEST(AudioFeedEndToEnd, TheKeyboardsAudioBarsFollowASweepFromTheCompanion)
{
    const std::string audio = std::string(HALVEK_BINARY_DIR) + "/halvek-audio";
    ASSERT_TRUE(fs::exists(audio));
    testing_support::TempDir folder;
    testing_support::ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.path().string());
    const fs::path sweep = folder / "sweep.wav";
    writeSteppedSweep(sweep);

    app::lighting_sync::DeviceLists devices;
    AudioKeyboard keyboard;
    devices.add(&keyboard);
    app::lighting_sync::SpectrumFeed feed;
    std::mutex lock; // the feed is the UI thread's; here the listener stands in for it
    auto instance = platform::instanceRuntimeFolder();
    ASSERT_TRUE(instance);
    platform::IpcEndpoint program(*instance, L"MainWnd");
    ASSERT_TRUE(program.startReceiving([&](platform::IpcMessage&& message) {
        std::lock_guard guard(lock);
        (void)feed.onCopyData(message.copyDataId, message.data, devices);
    }));
    // At the pace of real sound: six seconds.
    ASSERT_EQ(std::system((audio + " --input '" + sweep.string() + "'").c_str()), 0);
    program.stopReceiving();

    std::lock_guard guard(lock);
    const auto& centres = keyboard.centres;
    ASSERT_GT(centres.size(), 50u); // 43 packets a second, every third one handed on
    // What the keyboard is handed follows the bursts upwards...
    const auto& bands = keyboard.strongest;
    const std::size_t third = bands.size() / 3;
    auto meanBand = [&](std::size_t from, std::size_t to) {
        std::vector<double> picked;
        for (std::size_t i = from; i < to; ++i)
            picked.push_back(bands[i]);
        return meanOf(picked, 0, picked.size());
    };
    EXPECT_LT(meanBand(0, third), meanBand(third, 2 * third));
    EXPECT_LT(meanBand(third, 2 * third), meanBand(2 * third, bands.size()));
    // ...and so do the lit bars.
    const double early = meanOf(centres, 0, third);
    const double middle = meanOf(centres, third, 2 * third);
    const double late = meanOf(centres, 2 * third, centres.size());
    ASSERT_GE(early, 0) << "nothing lit in the first third";
    EXPECT_LT(early, middle);
    EXPECT_LT(middle, late);
}
