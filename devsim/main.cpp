// halvek-devsim: the emulated keyboard and mouse for other processes. It plugs their cable
// and receiver interfaces in this process and serves them over a Unix-domain socket (a
// named pipe on Windows), where
// `halvekctl --simulate=socket` and the program find them; control lines come on stdin or
// through `halvek-devsim ctl ...`. With --hidraw it serves them as hidraw nodes instead, in a
// private namespace, to the command it runs there.

#include "devsim/control.h"
#if HALVEK_DEVSIM_HIDRAW
#include "devsim/hidraw/hidraw_mode.h"
#else
#include "devsim/no_hidraw_mode.h"
#endif
#include "devsim/keyboard.h"
#include "devsim/mouse.h"
#include "devsim/state_file.h"

#include "device/hid/sim/socket_backend.h"
#include "platform/event.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kUsage =
    R"(Usage: halvek-devsim [--socket PATH] [--device keyboard|mouse|both] [--state FILE]
                     [--mouse-state FILE] [--links both|cable|receiver|none] [--usb-timing]
       halvek-devsim --hidraw [OPTIONS] -- COMMAND [ARGS...]
       halvek-devsim [--socket PATH] ctl COMMAND...

Runs the emulated keyboard (or mouse, or both) and serves it on PATH (default:
$HALVEK_SIM_SOCKET, else devsim.sock in the program's runtime folder) until "quit". With
--state its memory is loaded from FILE and saved there on quit; with --device both, FILE
is the keyboard's and --mouse-state the mouse's.

With --hidraw (as root) the plugged interfaces appear as /dev/hidrawN nodes with their
sysfs records and udev events in private mount and network namespaces, and COMMAND runs
there (e.g. halvekctl devices, or halvek); its exit status is this program's, and 77
means the machine cannot give the namespace or FUSE. Control lines then come with ctl
from inside COMMAND ($HALVEK_DEVSIM_CONTROL names the socket there); plug and unplug
add and remove the nodes before they answer. The run ends when COMMAND does.

Control commands, on stdin or with ctl:
)";

// The control socket of the halvek-devsim --hidraw a command runs under.
constexpr const char* kControlVariable = "HALVEK_DEVSIM_CONTROL";

struct Options {
    std::filesystem::path socket;
    std::filesystem::path state;
    std::filesystem::path mouseState;
    std::string device = "keyboard";
    std::string links = "both";
    bool usbTiming = false;
    std::vector<std::string> control; // after "ctl"
    bool isControl = false;
    bool hidraw = false;
    std::vector<std::string> command; // after "--", for --hidraw
};

int parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--socket" || arg == "--state" || arg == "--links" ||
                                arg == "--device" || arg == "--mouse-state";
        if (takesValue && i + 1 >= argc) {
            std::fprintf(stderr, "halvek-devsim: %s needs a value\n", arg.c_str());
            return 2;
        }
        if (arg == "--help" || arg == "-h") {
            std::printf("%s%s", kUsage, devsim::Control::help().c_str());
            return 0;
        } else if (arg == "--socket") {
            options.socket = argv[++i];
        } else if (arg == "--state") {
            options.state = argv[++i];
        } else if (arg == "--mouse-state") {
            options.mouseState = argv[++i];
        } else if (arg == "--device") {
            options.device = argv[++i];
            if (options.device != "keyboard" && options.device != "mouse" &&
                options.device != "both") {
                std::fputs("halvek-devsim: --device takes keyboard, mouse or both\n", stderr);
                return 2;
            }
        } else if (arg == "--links") {
            options.links = argv[++i];
            if (options.links != "both" && options.links != "cable" &&
                options.links != "receiver" && options.links != "none") {
                std::fputs("halvek-devsim: --links takes both, cable, receiver or none\n", stderr);
                return 2;
            }
        } else if (arg == "--usb-timing") {
            options.usbTiming = true;
        } else if (arg == "--hidraw") {
            options.hidraw = true;
        } else if (arg == "--" && options.hidraw) {
            options.command.assign(argv + i + 1, argv + argc);
            break;
        } else if (arg == "ctl") {
            options.isControl = true;
            options.control.assign(argv + i + 1, argv + argc);
            break;
        } else {
            std::fprintf(stderr, "halvek-devsim: unknown argument '%s' (see --help)\n",
                         arg.c_str());
            return 2;
        }
    }
    if (!options.mouseState.empty() && options.device != "both") {
        std::fputs("halvek-devsim: --mouse-state is for --device both; use --state\n", stderr);
        return 2;
    }
    if (options.hidraw && (options.command.empty() || options.isControl)) {
        std::fputs("halvek-devsim: --hidraw needs a command to run: --hidraw -- COMMAND\n", stderr);
        return 2;
    }
    return -1;
}

// One emulated device with the file its memory lives in.
struct Emulated {
    std::unique_ptr<devsim::EmulatedDevice> device;
    std::filesystem::path state;
    bool saveOnQuit = true;
};

// A file that cannot be loaded is left as it is on quit, so nothing in it is lost.
void loadState(Emulated& emulated)
{
    if (emulated.state.empty())
        return;
    auto memory = devsim::loadState(emulated.device->model(), emulated.state);
    if (memory) {
        emulated.device->setMemory(*memory);
    } else if (memory.error().code != platform::Error::Code::NotFound) {
        std::fprintf(stderr,
                     "halvek-devsim: %s; the %s starts from its factory state and the file is "
                     "left as it is\n",
                     memory.error().message.c_str(),
                     std::string(emulated.device->model().name).c_str());
        emulated.saveOnQuit = false;
    }
}

void saveState(const Emulated& emulated)
{
    if (emulated.state.empty() || !emulated.saveOnQuit)
        return;
    const auto& device = *emulated.device;
    if (const auto saved = devsim::saveState(device.model(), emulated.state, device.memory());
        !saved)
        std::fprintf(stderr, "halvek-devsim: the %s's state not saved: %s\n",
                     std::string(device.model().name).c_str(), saved.error().message.c_str());
}

std::vector<Emulated> makeDevices(const Options& options)
{
    std::vector<Emulated> devices;
    if (options.device == "keyboard" || options.device == "both")
        devices.push_back({std::make_unique<devsim::Keyboard>(), options.state});
    if (options.device == "mouse")
        devices.push_back({std::make_unique<devsim::Mouse>(), options.state});
    if (options.device == "both")
        devices.push_back({std::make_unique<devsim::Mouse>(), options.mouseState});
    return devices;
}

int sendControl(const Options& options)
{
    std::string line;
    for (const auto& word : options.control)
        line += (line.empty() ? "" : " ") + word;
    if (line.empty()) {
        std::fputs("halvek-devsim ctl: which command? (see --help)\n", stderr);
        return 2;
    }
    const auto answer = hid::sim::sendControl(options.socket, line);
    if (!answer) {
        std::fprintf(stderr, "halvek-devsim ctl: %s\n", answer.error().message.c_str());
        return 1;
    }
    std::fputs(answer->c_str(), stdout);
    return answer->rfind("error:", 0) == 0 ? 1 : 0;
}

void unplugAndSave(std::vector<Emulated>& devices)
{
    for (const auto& emulated : devices) {
        emulated.device->unplug(devsim::KeyboardLink::Cable);
        emulated.device->unplug(devsim::KeyboardLink::Receiver);
        saveState(emulated);
    }
}

// The command's exit status, or kUnavailableStatus when the nodes cannot be served.
int runHidraw(devsim::hidraw::HidrawMode& hidraw, const Options& options, const char* served,
              hid::sim::DeviceServer& server, std::vector<Emulated>& devices)
{
    int status = devsim::hidraw::kUnavailableStatus;
    if (const auto started = hidraw.start(); !started) {
        std::fprintf(stderr, "halvek-devsim: hidraw nodes cannot be served here: %s\n",
                     started.error().message.c_str());
    } else {
        std::fprintf(stderr, "halvek-devsim: %s as hidraw nodes; control on %s\n", served,
                     options.socket.string().c_str());
        status = hidraw.run(options.command);
        if (status < 0) {
            std::fprintf(stderr, "halvek-devsim: %s cannot be run\n", options.command[0].c_str());
            status = 127;
        }
    }
    hidraw.stop();
    server.stop();
    unplugAndSave(devices);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const int status = parse(argc, argv, options); status >= 0)
        return status;
    if (const char* control = std::getenv(kControlVariable);
        options.socket.empty() && options.isControl && control != nullptr && *control != 0)
        options.socket = control;
    if (options.socket.empty()) {
        const auto socket = hid::sim::deviceServerSocket();
        if (!socket) {
            std::fprintf(stderr, "halvek-devsim: %s\n", socket.error().message.c_str());
            return 1;
        }
        options.socket = *socket;
    }
    if (options.isControl)
        return sendControl(options);

    // The namespace comes before any thread: the kernel refuses it to a threaded process.
    devsim::hidraw::HidrawMode hidraw;
    if (options.hidraw) {
        if (const auto entered = hidraw.enter(); !entered) {
            std::fprintf(stderr, "halvek-devsim: hidraw nodes cannot be served here: %s\n",
                         entered.error().message.c_str());
            return devsim::hidraw::kUnavailableStatus;
        }
        // Control lines from inside the command reach this process. Not HALVEK_SIM_SOCKET:
        // the programs there would list the socket's devices beside the nodes.
#if HALVEK_DEVSIM_HIDRAW
        ::setenv(kControlVariable, options.socket.c_str(), 1);
#endif
    }

    std::vector<Emulated> devices = makeDevices(options);
    std::vector<devsim::Control::Target> targets;
    for (auto& emulated : devices) {
        loadState(emulated);
        auto& device = *emulated.device;
        device.setUsbTiming(options.usbTiming);
        if (options.links == "both" || options.links == "cable")
            device.plug(devsim::KeyboardLink::Cable);
        if (options.links == "both" || options.links == "receiver")
            device.plug(devsim::KeyboardLink::Receiver);
        targets.push_back({&device, emulated.state});
    }

    devsim::Control control(std::move(targets));
    platform::Event quit{platform::Event::ResetPolicy::Manual};
    const auto handle = [&](const std::string& line) {
        std::string answer = control.run(line);
        if (options.hidraw)
            hidraw.sync();
        if (control.quitRequested())
            quit.set();
        return answer;
    };
    hid::sim::DeviceServer server;
    if (const auto started = server.start(options.socket, handle); !started) {
        std::fprintf(stderr, "halvek-devsim: %s\n", started.error().message.c_str());
        return 1;
    }
    const char* served = options.device == "both" ? "keyboard and mouse" : options.device.c_str();
    if (options.hidraw)
        return runHidraw(hidraw, options, served, server, devices);
    std::printf("halvek-devsim: serving on %s (%s; type help)\n", options.socket.string().c_str(),
                served);
    std::fflush(stdout);

    // A read of stdin cannot be interrupted; the thread is left to the process's end.
    std::thread([&handle, &quit] {
        for (std::string line; std::getline(std::cin, line);) {
            std::fputs(handle(line).c_str(), stdout);
            std::fflush(stdout);
            if (quit.isSet())
                return;
        }
    }).detach();

    quit.wait();
    server.stop();
    unplugAndSave(devices);
    // The stdin reader may sit in a read holding the C runtime's stream lock, which a normal
    // exit takes to flush the streams (on Windows it waits for good): end here instead.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}
