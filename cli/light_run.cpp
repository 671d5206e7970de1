#include "light_run.h"

#include "device_model_factory.h"
#include "keyboard_session.h"
#include "profile_store.h"

#include "device/model/keyboard_model.h"
#include "platform/event.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

struct RunOptions {
    profile::LightInfo light;
    long long seconds = 5;
    bool flatOut = false;
};

bool parseValue(const std::string& text, int low, int high, int& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

// Returns the exit status on a bad option, nullopt when all is well.
std::optional<int> parseOptions(std::vector<std::string>& args, RunOptions& options)
{
    options.light.mode = 4;
    options.light.speed = 4;
    options.light.brightness = 4;
    options.light.direction = 1;
    options.light.red = 255;
    bool modeGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--flat-out") {
            options.flatOut = true;
            continue;
        }
        if (i + 1 >= args.size())
            return cli::usage(args[i] + " needs a value");
        const std::string& value = args[++i];
        int number = 0;
        if (args[i - 1] == "--seconds") {
            if (!parseValue(value, 1, 3600, number))
                return cli::refuse("--seconds takes 1 to 3600");
            options.seconds = number;
        } else if (args[i - 1] == "--mode") {
            if (!parseValue(value, 0, 30, number))
                return cli::refuse("--mode takes 0 to 30");
            options.light.mode = std::uint8_t(number);
            modeGiven = true;
        } else if (args[i - 1] == "--speed" || args[i - 1] == "--brightness") {
            if (!parseValue(value, 0, 4, number))
                return cli::refuse(args[i - 1] + " takes 0 to 4");
            (args[i - 1] == "--speed" ? options.light.speed : options.light.brightness) =
                std::uint8_t(number);
        } else if (args[i - 1] == "--fx") {
            if (!parseValue(value, 0, 255, number))
                return cli::refuse("--fx takes 0 to 255");
            options.light.direction = std::uint8_t(number);
        } else if (args[i - 1] == "--multicolor") {
            if (!parseValue(value, 0, 1, number))
                return cli::refuse("--multicolor takes 0 or 1");
            options.light.multiColour = std::uint8_t(number);
        } else {
            return cli::usage("unknown light run option '" + args[i - 1] + "'");
        }
    }
    if (!modeGiven)
        return cli::usage("light run needs --mode N");
    return std::nullopt;
}

} // namespace

namespace cli {

const char* const kLightRunUsage =
    R"(       halvekctl [--simulate[=MODE]] light run --mode N [--speed N] [--brightness N]
                 [--fx N] [--multicolor 0|1] [--seconds S] [--flat-out]

run: drives the keyboard's lighting thread against the device for S seconds (default 5),
with a timer handing the frames over every 5 ms as the device's tile does, and prints
the engine steps, the frames sent and dropped, frames per second, the lighting thread's
share of one core and the longest time the timer was held up. --flat-out sends the last
frame again as soon as the device has taken the previous one, to measure the link.
)";

bool isLightRunCommand(const std::vector<std::string>& args)
{
    return !args.empty() && args[0] == "run";
}

int runLightRun(const GlobalOptions& globals, const std::vector<std::string>& arguments)
{
    std::vector<std::string> args(arguments.begin() + 1, arguments.end());
    const auto store = takeStoreOptions(args);
    if (!store)
        return 2;
    if (store->deviceKind != 1)
        return refuse("light run drives the keyboard's lighting only");
    RunOptions options;
    if (const auto status = parseOptions(args, options))
        return *status;

    model::KeyboardModel keyboard;
    keyboard.setDataRoot(store->folder.parent_path());
    keyboard.setFactoryFolder(store->factoryFile.parent_path());
    KeyboardSession session(globals, "light run", keyboard);
    if (!session.open())
        return session.exitStatus();
    if (session.onReceiver())
        return refuse("light run: keyboard: live frames go on the cable only, and the keyboard "
                      "is reached through its receiver");
    if (const protocol::Status read = keyboard.ReadDevice(); read != protocol::Status::Ok)
        return session.fail("keyboard: the full read", read);
    session.flushTrace();

    // The profile is not touched: the settings go to the engine alone.
    const profile::LightInfo& light = options.light;
    keyboard.lightingThread().update([&](model::LightingEngine& engine) {
        model::EffectSettings settings;
        settings.mode = light.mode;
        settings.speed = light.speed;
        settings.brightness = light.brightness;
        settings.direction = light.direction;
        settings.multiColour = light.multiColour;
        settings.red = light.red;
        engine.setSettings(settings);
    });
    if (!keyboard.lightingThread().update(
            [](model::LightingEngine& engine) { return engine.sendsLiveFrame(); }))
        std::printf("mode %d is shown by the keyboard itself: no live frames\n", light.mode);

    keyboard.StartLighting();
    keyboard.framePump().setFlatOut(options.flatOut);
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::seconds(options.seconds);
    Clock::duration longest{};
    platform::Event never(platform::Event::ResetPolicy::Manual);
    for (Clock::time_point tick = start; tick < end; tick += model::kLiveFrameInterval) {
        (void)never.waitUntil(tick);
        const Clock::time_point before = Clock::now();
        keyboard.SendLiveFrame();
        longest = std::max(longest, Clock::now() - before);
    }
    // The last step still goes out, as the next tick of the timer would send it.
    keyboard.lightingThread().stop();
    keyboard.SendLiveFrame();
    if (!options.flatOut)
        (void)keyboard.framePump().drain(std::chrono::seconds(1));
    keyboard.StopLighting();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();

    const model::LiveFrameCounts counts = keyboard.framePump().counts();
    const std::uint64_t steps = keyboard.framesPainted();
    const std::uint64_t missed =
        steps > keyboard.framesHandedOver() ? steps - keyboard.framesHandedOver() : 0;
    const double lightingCpu =
        std::chrono::duration<double>(keyboard.lightingThread().threadCpuTime()).count();
    const double pumpCpu =
        std::chrono::duration<double>(keyboard.framePump().threadCpuTime()).count();
    std::printf("mode %d speed %d%s: %.2f s\n", light.mode, light.speed,
                options.flatOut ? " flat out" : "", wall);
    std::printf("engine steps      %llu (%.1f per second)\n",
                static_cast<unsigned long long>(steps), double(steps) / wall);
    std::printf("frames sent       %llu (%.1f per second)\n",
                static_cast<unsigned long long>(counts.sent), double(counts.sent) / wall);
    // Flat out, a frame replaced before it went is the point, not a loss.
    const std::uint64_t replaced = options.flatOut ? 0 : counts.dropped;
    const std::uint64_t notHandedOver = options.flatOut ? 0 : missed;
    std::printf("frames dropped    %llu (failed %llu, replaced %llu, steps not handed over %llu)\n",
                static_cast<unsigned long long>(counts.failed + replaced + notHandedOver),
                static_cast<unsigned long long>(counts.failed),
                static_cast<unsigned long long>(replaced),
                static_cast<unsigned long long>(notHandedOver));
    std::printf("lighting thread   %.3f%% of one core\n", 100 * lightingCpu / wall);
    std::printf("sender thread     %.3f%% of one core\n", 100 * pumpCpu / wall);
    std::printf("timer held up     %.3f ms at most\n",
                std::chrono::duration<double, std::milli>(longest).count());
    if (counts.sent == 0 && counts.failed > 0)
        return session.fail("keyboard: live frames", protocol::Status::NoReply);
    return 0;
}

} // namespace cli
