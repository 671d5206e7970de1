#include "light_run.h"

#include "device_model_factory.h"
#include "keyboard_session.h"
#include "profile_store.h"

#include "device/model/keyboard_model.h"
#include "device/model/live_stream_run.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace {

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
    if (store->kind != detect::DeviceKind::Keyboard)
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
    model::LiveStreamOptions stream;
    stream.settings.mode = light.mode;
    stream.settings.speed = light.speed;
    stream.settings.brightness = light.brightness;
    stream.settings.direction = light.direction;
    stream.settings.multiColour = light.multiColour;
    stream.settings.red = light.red;
    stream.duration = std::chrono::seconds(options.seconds);
    stream.flatOut = options.flatOut;
    const model::LiveStreamReport report = model::runLiveStream(keyboard, stream);
    if (!report.modeSendsFrames)
        std::printf("mode %d is shown by the keyboard itself: no live frames\n", light.mode);
    const auto count = [](std::uint64_t value) { return static_cast<unsigned long long>(value); };
    std::printf("mode %d speed %d%s: %.2f s\n", light.mode, light.speed,
                options.flatOut ? " flat out" : "", report.seconds);
    std::printf("engine steps      %llu (%.1f per second)\n", count(report.steps),
                report.stepsPerSecond());
    std::printf("frames sent       %llu (%.1f per second)\n", count(report.sent),
                report.framesPerSecond());
    std::printf("frames dropped    %llu (failed %llu, replaced %llu, steps not handed over %llu)\n",
                count(report.dropped()), count(report.failed), count(report.replaced),
                count(report.notHandedOver));
    std::printf("lighting thread   %.3f%% of one core\n", 100 * report.lightingCpuShare);
    std::printf("sender thread     %.3f%% of one core\n", 100 * report.senderCpuShare);
    std::printf("timer held up     %.3f ms at most\n", report.longestStall.count());
    // Frames that fail one by one look like a slow link in the figures: a keyboard that
    // left must be said in words, and the run is not a success.
    if (keyboard.channel().wiredLink().isGone()) {
        std::fprintf(stderr,
                     "halvekctl light run: keyboard: the keyboard went away during the "
                     "run; %llu frames reached it\n",
                     count(report.sent));
        return 1;
    }
    if (report.sent == 0 && report.failed > 0)
        return session.fail("keyboard: live frames", protocol::Status::NoReply);
    return 0;
}

} // namespace cli
