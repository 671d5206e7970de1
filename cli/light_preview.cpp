#include "light_preview.h"

#include "light_png.h"

#include "device/model/lighting_preview.h"
#include "device/model/lighting_thread.h"
#include "platform/event.h"
#include "platform/hex.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

const char* const kLightPreviewUsage =
    R"(       halvekctl light frame --mode N [OPTIONS] [--json | --png FILE]
       halvekctl light cpu [--mode N] [--speed N] [--seconds S]

frame: runs the lighting effect's start step and K steps, without a device, and prints the
final 170 light colours as JSON (the colour before brightness, and the brightness), or draws
every step's lights on the keyboard's column grid into a PNG strip.
  --mode N            effect mode 0-255 (0, 19 and above 30 play the empty custom effect)
  --fx N              direction / variant byte (default 1)
  --speed N           speed 0-4 (default 4)
  --brightness N      brightness level 0-4 (default 4)
  --multicolor 0|1    wheel colours instead of the set colour (default 1)
  --color RRGGBB      the set colour, also the audio foreground (default FFFFFF)
  --audio-style N     audio style for mode 29 (default 0)
  --bands v1,...      up to 25 audio band values, fed before every step
  --external r,g,b    the external colour values of mode 30 (up to 6)
  --steps K           number of steps (default 1)
  --seed S            seed of the random hues and positions (default 1)

cpu: runs the lighting thread for S seconds (default 10) against a device that takes every
frame, and prints the process's CPU time against the wall time, and the passes run.
)";

} // namespace cli

namespace {

[[nodiscard]] std::optional<long long> parseInteger(std::string_view text, long long low,
                                                    long long high)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

[[nodiscard]] std::optional<std::vector<std::int32_t>> parseList(std::string_view text,
                                                                 std::size_t maxCount)
{
    std::vector<std::int32_t> values;
    while (true) {
        const std::size_t comma = text.find(',');
        const auto value = parseInteger(text.substr(0, comma), std::numeric_limits<int32_t>::min(),
                                        std::numeric_limits<int32_t>::max());
        if (!value || values.size() == maxCount)
            return std::nullopt;
        values.push_back(std::int32_t(*value));
        if (comma == std::string_view::npos)
            return values;
        text.remove_prefix(comma + 1);
    }
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "halvekctl light: %s\n", message.c_str());
    return 2;
}

void printJson(const model::LightFrame& frame)
{
    std::puts("[");
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const model::LightColour& light = frame[i];
        std::printf("  {\"r\":%d,\"g\":%d,\"b\":%d,\"brightness\":%d}%s\n", light.red, light.green,
                    light.blue, light.brightness, i + 1 < frame.size() ? "," : "");
    }
    std::puts("]");
}

int runFrame(const std::vector<std::string>& args)
{
    model::PreviewRequest request;
    request.settings.direction = 1;
    request.settings.speed = 4;
    request.settings.brightness = 4;
    request.settings.multiColour = 1;
    request.settings.red = request.settings.green = request.settings.blue = 255;
    bool haveMode = false;
    bool json = false;
    std::string pngPath;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--json") {
            json = true;
            continue;
        }
        if (i + 1 >= args.size())
            return fail(option + " needs a value (see --help)");
        const std::string& value = args[++i];
        auto byteValue = [&](std::uint8_t& field, long long high = 255) {
            const auto parsed = parseInteger(value, 0, high);
            if (parsed)
                field = std::uint8_t(*parsed);
            return parsed.has_value();
        };
        bool ok = true;
        if (option == "--mode") {
            ok = byteValue(request.settings.mode);
            haveMode = true;
        } else if (option == "--fx") {
            ok = byteValue(request.settings.direction);
        } else if (option == "--speed") {
            ok = byteValue(request.settings.speed);
        } else if (option == "--brightness") {
            ok = byteValue(request.settings.brightness);
        } else if (option == "--multicolor") {
            ok = byteValue(request.settings.multiColour, 1);
        } else if (option == "--audio-style") {
            ok = byteValue(request.audio.style);
        } else if (option == "--color") {
            // Six digits exactly; a sign is not a digit.
            const auto rgb = value.size() == 6 ? platform::parseHex(value, 0xFFFFFF) : std::nullopt;
            ok = rgb.has_value();
            request.settings.red = std::uint8_t(rgb.value_or(0) >> 16);
            request.settings.green = std::uint8_t(rgb.value_or(0) >> 8);
            request.settings.blue = std::uint8_t(rgb.value_or(0));
        } else if (option == "--bands") {
            const auto bands = parseList(value, 25);
            ok = bands.has_value();
            if (ok)
                request.bands = *bands;
        } else if (option == "--external") {
            const auto external = parseList(value, 6);
            ok = external.has_value();
            if (ok)
                request.external = *external;
        } else if (option == "--steps") {
            const auto steps = parseInteger(value, 0, 100000);
            ok = steps.has_value();
            request.steps = int(steps.value_or(0));
        } else if (option == "--seed") {
            const auto seed = parseInteger(value, 0, std::numeric_limits<std::uint32_t>::max());
            ok = seed.has_value();
            request.seed = std::uint32_t(seed.value_or(0));
        } else if (option == "--png") {
            pngPath = value;
        } else {
            return fail("unknown option '" + option + "' (see --help)");
        }
        if (!ok)
            return fail("bad value '" + value + "' for " + option);
    }
    if (!haveMode)
        return fail("--mode is required");
    if (json && !pngPath.empty())
        return fail("--json and --png exclude each other");
    if (!pngPath.empty() && request.steps > cli::kMaxStripFrames)
        return fail("--png draws at most " + std::to_string(cli::kMaxStripFrames) + " steps");
    request.keepEveryFrame = !pngPath.empty();
    request.audio.foreground = request.settings.colour();
    request.audio.multiColour = request.settings.multiColour;

    const std::vector<model::LightFrame> frames = model::runPreview(request);
    if (pngPath.empty()) {
        printJson(frames.back());
        return 0;
    }
    std::string error;
    if (!cli::writeLightStripPng(pngPath, frames, error)) {
        std::fprintf(stderr, "halvekctl light: %s\n", error.c_str());
        return 1;
    }
    std::printf("%zu frames drawn into %s\n", frames.size(), pngPath.c_str());
    return 0;
}

// A device whose channel is open and which takes every frame at once.
class NullHost : public model::LightingHost {
public:
    bool isChannelOpen() const override { return true; }
    bool isLightingSynced() const override { return false; }
    void watchChannel(const std::weak_ptr<platform::Event>&) override {} // neither ever changes
    void framePainted() override { passes.fetch_add(1, std::memory_order_relaxed); }

    std::atomic<long> passes{0};
};

int runCpu(const std::vector<std::string>& args)
{
    model::EffectSettings settings;
    settings.mode = 4;
    settings.speed = 4;
    settings.brightness = 4;
    settings.direction = 1;
    long long seconds = 10;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return fail(args[i] + " needs a value (see --help)");
        const auto value = parseInteger(args[i + 1], 0, args[i] == "--seconds" ? 3600 : 255);
        if (!value)
            return fail("bad value '" + args[i + 1] + "' for " + args[i]);
        if (args[i] == "--mode")
            settings.mode = std::uint8_t(*value);
        else if (args[i] == "--speed")
            settings.speed = std::uint8_t(*value);
        else if (args[i] == "--seconds")
            seconds = *value;
        else
            return fail("unknown option '" + args[i] + "' (see --help)");
    }

    NullHost host;
    model::LightingThread thread(host);
    thread.update([&](model::LightingEngine& engine) { engine.setSettings(settings); });
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    thread.start();
    platform::Event never(platform::Event::ResetPolicy::Manual);
    (void)never.waitFor(std::chrono::seconds(seconds));
    thread.stop();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const long passes = host.passes.load();
    std::printf("mode %d speed %d: %ld passes in %.2f s (%.1f per second)\n", settings.mode,
                settings.speed, passes, wall, passes / wall);
    std::printf("CPU %.1f ms over %.2f s wall: %.3f%% of one core\n", cpu * 1000, wall,
                100 * cpu / wall);
    return 0;
}

} // namespace

namespace cli {

bool isLightPreviewCommand(const std::vector<std::string>& args)
{
    return !args.empty() && (args[0] == "frame" || args[0] == "cpu");
}

int runLightPreview(const std::vector<std::string>& args)
{
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    return args[0] == "frame" ? runFrame(rest) : runCpu(rest);
}

} // namespace cli
