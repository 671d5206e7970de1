// Feeds the running halvek's lighting as games and visualisers do: game events by their
// registered names and spectrum packets as copy-data blocks.
#include "command_registry.h"
#include "profile_store.h"

#include "app/lighting_sync/feed_protocol.h"
#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numbers>
#include <thread>

namespace {

namespace sync = app::lighting_sync;

constexpr const char* kGameUsage = R"(Usage: halvekctl game start|end|kill|death STEP MODE

Sends the game message Game_Start, Game_End, Game_Kill or Game_Death to the running
halvek, as a game does. STEP 0 shows effect MODE and remembers the effect shown before;
1 and 2 show MODE and keep what was remembered. Five seconds after the last message the
remembered effect returns.
)";

constexpr const char* kFeedUsage =
    R"(Usage: halvekctl feed spectrum [--file F | --sine HZ] [OPTIONS]

Sends spectrum packets to the running halvek, as the audio-capture companion does: each
packet is 500 little-endian signed 32-bit samples (2000 bytes) in a copy-data block
with id 1. The keyboard's audio lighting follows them.

  --file F         send the file's bytes, 2000 per packet (a short last packet is sent
                   as it is; the receiver reads missing samples as 0)
  --sine HZ        send a sine tone of HZ as 44100 Hz samples (the default, 440)
  --packets N      how many sine packets (default 100)
  --interval MS    pause between packets (default 20)
)";

int refuse(const std::string& message)
{
    return cli::refuse(message);
}

std::optional<long long> number(const std::string& text)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The endpoint halvekctl sends from; it never receives.
std::unique_ptr<platform::IpcEndpoint> sender()
{
    const auto folder = platform::instanceRuntimeFolder();
    if (!folder) {
        refuse("no runtime folder: " + folder.error().message);
        return nullptr;
    }
    return std::make_unique<platform::IpcEndpoint>(*folder, L"halvekctl");
}

int delivered(const platform::Result<std::size_t>& sent)
{
    if (!sent)
        return refuse("could not send: " + sent.error().message);
    if (*sent == 0)
        return refuse("halvek is not running");
    return 0;
}

int runGame(const cli::GlobalOptions&, const std::vector<std::string>& args)
{
    if (args.size() != 3)
        return cli::usage("game takes an event, a STEP and a MODE");
    static constexpr const char* kEvents[] = {"start", "end", "kill", "death"};
    std::size_t event = 0;
    while (event < std::size(kEvents) && args[0] != kEvents[event])
        ++event;
    if (event == std::size(kEvents))
        return cli::usage("unknown game event '" + args[0] + "': start, end, kill or death");
    const auto step = number(args[1]);
    const auto mode = number(args[2]);
    if (!step || *step < 0 || !mode)
        return cli::usage("STEP and MODE are whole numbers, STEP not negative");
    auto endpoint = sender();
    if (!endpoint)
        return 1;
    return delivered(endpoint->post(sync::kMainWindowEndpoint, sync::kGameMessageNames[event],
                                    static_cast<std::uint64_t>(*step), *mode));
}

std::vector<std::uint8_t> sinePacket(double hertz, long long packet)
{
    constexpr double kRate = 44100;
    constexpr double kAmplitude = 1 << 20;
    std::vector<std::uint8_t> bytes(sync::kSpectrumSamples * 4);
    for (std::size_t i = 0; i < sync::kSpectrumSamples; ++i) {
        const auto index =
            packet * static_cast<long long>(sync::kSpectrumSamples) + static_cast<long long>(i);
        const double t = static_cast<double>(index) / kRate;
        const auto sample = static_cast<std::int32_t>(
            std::lround(kAmplitude * std::sin(2 * std::numbers::pi * hertz * t)));
        const auto bits = static_cast<std::uint32_t>(sample);
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + std::size_t(b)] = static_cast<std::uint8_t>(bits >> (8 * b));
    }
    return bytes;
}

int runFeed(const cli::GlobalOptions&, const std::vector<std::string>& arguments)
{
    if (arguments.empty() || arguments[0] != "spectrum")
        return cli::usage("feed takes 'spectrum'");
    std::string file;
    double hertz = 440;
    long long packets = 100;
    long long interval = 20;
    for (std::size_t i = 1; i < arguments.size(); i += 2) {
        if (i + 1 >= arguments.size())
            return cli::usage(arguments[i] + " needs a value");
        const std::string& value = arguments[i + 1];
        const auto whole = number(value);
        if (arguments[i] == "--file") {
            file = value;
        } else if (arguments[i] == "--sine" && whole && *whole > 0 && *whole < 22050) {
            hertz = double(*whole);
        } else if (arguments[i] == "--packets" && whole && *whole > 0 && *whole <= 1'000'000) {
            packets = *whole;
        } else if (arguments[i] == "--interval" && whole && *whole >= 0 && *whole <= 60'000) {
            interval = *whole;
        } else {
            return cli::usage("bad option '" + arguments[i] + " " + value + "'");
        }
    }

    std::vector<std::vector<std::uint8_t>> blocks;
    if (!file.empty()) {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return refuse("cannot read '" + file + "'");
        const std::size_t packetBytes = sync::kSpectrumSamples * 4;
        std::vector<std::uint8_t> block(packetBytes);
        while (in.read(reinterpret_cast<char*>(block.data()), std::streamsize(packetBytes)) ||
               in.gcount() > 0) {
            block.resize(static_cast<std::size_t>(in.gcount()));
            blocks.push_back(block);
            block.resize(packetBytes);
        }
        if (blocks.empty())
            return refuse("'" + file + "' is empty");
    } else {
        for (long long p = 0; p < packets; ++p)
            blocks.push_back(sinePacket(hertz, p));
    }

    auto endpoint = sender();
    if (!endpoint)
        return 1;
    auto next = std::chrono::steady_clock::now();
    for (const auto& block : blocks) {
        std::this_thread::sleep_until(next);
        next += std::chrono::milliseconds(interval);
        if (const int status = delivered(endpoint->postCopyData(sync::kMainWindowEndpoint, 0,
                                                                sync::kSpectrumCopyDataId, block)))
            return status;
    }
    std::printf("sent %zu packets\n", blocks.size());
    return 0;
}

[[maybe_unused]] const bool gameRegistered = cli::registerCommand({
    "game",
    "send a game lighting event to the running halvek",
    kGameUsage,
    runGame,
});

[[maybe_unused]] const bool feedRegistered = cli::registerCommand({
    "feed",
    "send spectrum packets to the running halvek",
    kFeedUsage,
    runFeed,
});

} // namespace
