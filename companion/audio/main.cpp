// halvek-audio: turns what the desktop plays into spectrum packets for the program's audio
// lighting.

#include "companion/audio/audio_source.h"
#include "companion/audio/companion_state.h"
#include "companion/audio/spectrum_analyzer.h"
#include "companion/audio/wav_file.h"

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace companion;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage = R"(Usage: halvek-audio [--input FILE.wav [--fast]] [--seconds N]
       halvek-audio --make-sweep FILE.wav

Captures what the desktop plays (the default output's monitor) and sends the program 43
spectrum packets a second, each 500 levels from 40 Hz to 16 kHz, for its audio lighting.
The program starts, stops and colours it with its commands.

  --input FILE.wav    analyse a WAV file (16-bit PCM or 32-bit float) instead, at its own pace
  --fast              with --input: as fast as possible (for tests)
  --seconds N         stop after N seconds
  --verbose           print once a second how many packets went out and what they hold
  --make-sweep FILE   write a 6-second sine sweep from 60 Hz to 12 kHz and exit
)";

class FileSource : public AudioSource {
public:
    explicit FileSource(MonoSound sound) : m_sound(std::move(sound)) {}
    double sampleRate() const override { return m_sound.sampleRate; }
    bool read(std::span<float> hop) override
    {
        if (m_next >= m_sound.samples.size())
            return false;
        for (float& sample : hop)
            sample = m_next < m_sound.samples.size() ? m_sound.samples[m_next++] : 0.0f;
        return true;
    }
    std::string error() const override { return {}; }

private:
    MonoSound m_sound;
    std::size_t m_next = 0;
};

struct Options {
    std::string input;
    bool fast = false;
    bool verbose = false;
    double seconds = 0;
};

// The band (of 25, as the program groups the values) with the highest mean.
std::size_t loudestBand(const SpectrumPacket& packet)
{
    std::size_t best = 0;
    std::int64_t bestSum = -1;
    for (std::size_t band = 0; band < 25; ++band) {
        std::int64_t sum = 0;
        for (std::size_t i = band * 20; i < band * 20 + 20; ++i)
            sum += packet[i];
        if (sum > bestSum) {
            bestSum = sum;
            best = band;
        }
    }
    return best;
}

int writeSweep(const char* file)
{
    const auto written =
        platform::writeFileAtomically(file, encodeWav(companion::makeSweep(44100, 6, 60, 12000)));
    if (!written) {
        std::fprintf(stderr, "halvek-audio: %s\n", written.error().message.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--fast") {
            options.fast = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--make-sweep" && i + 1 < argc) {
            return writeSweep(argv[i + 1]);
        } else if (arg == "--input" && i + 1 < argc) {
            options.input = argv[++i];
        } else if (arg == "--seconds" && i + 1 < argc) {
            options.seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "halvek-audio: unknown or incomplete option '%s' (see --help)\n",
                         arg.c_str());
            return 2;
        }
    }

    std::unique_ptr<AudioSource> source;
    if (!options.input.empty()) {
        auto sound = readWav(options.input);
        if (!sound) {
            std::fprintf(stderr, "halvek-audio: %s: %s\n", options.input.c_str(),
                         sound.error().message.c_str());
            return 1;
        }
        source = std::make_unique<FileSource>(std::move(*sound));
    }

    auto folder = platform::instanceRuntimeFolder();
    if (!folder) {
        std::fprintf(stderr, "halvek-audio: %s\n", folder.error().message.c_str());
        return 1;
    }
    CompanionState state;
    platform::IpcEndpoint endpoint(*folder, std::wstring(kCompanionEndpoint));
    if (auto receiving =
            endpoint.startReceiving([&](platform::IpcMessage&& message) { state.handle(message); });
        !receiving) {
        std::fprintf(stderr, "halvek-audio: %s\n", receiving.error().message.c_str());
        return 1;
    }

    const auto started = Clock::now();
    const auto end = options.seconds > 0
                         ? started + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(options.seconds))
                         : Clock::time_point::max();
    std::unique_ptr<SpectrumAnalyzer> analyzer;
    std::vector<float> hop(kHopSize);
    auto nextHop = Clock::now();
    auto nextReport = Clock::now() + std::chrono::seconds(1);
    std::size_t sent = 0;
    int status = 0;
    // Without a sound source, commands must not each start an attempt to open one, and a
    // desktop without a sound server is not asked every few seconds for ever: the wait
    // doubles after each failure, up to a minute, and starts again once capture works.
    constexpr auto kFirstCaptureRetry = std::chrono::seconds(5);
    constexpr auto kLongestCaptureRetry = std::chrono::seconds(60);
    Clock::duration captureRetry = kFirstCaptureRetry;
    std::optional<Clock::time_point> lastFailure;
    const auto captureFailed = [&] {
        if (lastFailure)
            captureRetry = std::min<Clock::duration>(captureRetry * 2, kLongestCaptureRetry);
        lastFailure = Clock::now();
    };
    while (!state.isQuitting() && Clock::now() < end) {
        if (!state.isSending()) {
            // Capture stops with sending, so the sound device is free while the lights are off.
            if (options.input.empty())
                source.reset();
            (void)state.wake().waitUntil(end);
            nextHop = Clock::now();
            continue;
        }
        if (!source) {
            if (lastFailure) {
                state.sleepUntil(std::min(*lastFailure + captureRetry, end));
                if (!state.isSending() || Clock::now() < *lastFailure + captureRetry)
                    continue;
            }
            auto capture = openDesktopCapture();
            if (!capture) {
                std::fprintf(stderr, "halvek-audio: %s\n", capture.error().message.c_str());
                captureFailed();
                continue;
            }
            lastFailure.reset();
            captureRetry = kFirstCaptureRetry;
            source = std::move(*capture);
            analyzer.reset();
            nextHop = Clock::now();
        }
        if (!analyzer)
            analyzer = std::make_unique<SpectrumAnalyzer>(source->sampleRate());
        if (state.takeReset())
            analyzer->reset();
        if (!source->read(hop)) {
            if (!options.input.empty())
                break; // the end of the file
            std::fprintf(stderr, "halvek-audio: capture failed: %s\n", source->error().c_str());
            source.reset();
            captureFailed();
            status = 1;
            continue;
        }
        status = 0;
        const auto& packet = analyzer->push(hop);
        const std::wstring peer = state.peer();
        (void)endpoint.postCopyData(peer, 0, kSpectrumData, packetBytes(packet));
        const auto colour = state.colourPacket(analyzer->level());
        (void)endpoint.postCopyData(peer, 0, kColourData, packetBytes(colour));
        ++sent;
        if (options.verbose && Clock::now() >= nextReport) {
            nextReport += std::chrono::seconds(1);
            std::fprintf(stderr, "halvek-audio: %zu packets, loudness %.2f, loudest band %zu\n",
                         sent, analyzer->level(), loudestBand(packet));
        }
        if (!options.input.empty() && !options.fast) {
            // A file plays at its own pace; captured sound is paced by the device already.
            nextHop += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(kHopSize / source->sampleRate()));
            // Far behind (the machine was busy): start the pace afresh rather than race.
            if (Clock::now() > nextHop + std::chrono::milliseconds(500))
                nextHop = Clock::now();
            state.sleepUntil(std::min(nextHop, end));
        }
    }
    endpoint.stopReceiving();
    return status;
}
