#include "command_registry.h"
#include "profile_store.h"

#include "platform/folders.h"
#include "profile/stored_notices.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = R"(Usage: halvekctl [OPTIONS] COMMAND [ARGS...]

Configures Halvek keyboards, mice, mouse pads and headsets from the command line.

Options:
  --simulate[=both|cable|receiver|socket]
                     use emulated devices instead of (beside) real ones
  --sim-state FILE   keep the emulated device's memory in FILE between runs
  --device KIND      the device the commands act on: keyboard (default), mouse,
                     MousePad or HD; the keyboard or the mouse is the one emulated
  --data-dir DIR     the data folder, for commands that take one
  --trace            print every command frame sent and received
  --help             show this help

Commands:
)";

void printUsage()
{
    std::fputs(kUsage, stdout);
    for (const auto& [name, command] : cli::commands())
        std::printf("  %-18s %s\n", name.c_str(), command.summary.c_str());
    std::puts("\nRun 'halvekctl COMMAND --help' for a command's own options.");
}

} // namespace

int main(int argc, char** argv)
{
    cli::GlobalOptions options;
    std::vector<std::string> storeOptions;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage();
            return 0;
        }
        if (arg == "--simulate") {
            options.simulate = "both";
        } else if (arg.rfind("--simulate=", 0) == 0) {
            options.simulate = arg.substr(11);
            if (options.simulate != "both" && options.simulate != "cable" &&
                options.simulate != "receiver" && options.simulate != "socket") {
                std::fprintf(stderr,
                             "halvekctl: --simulate takes both, cable, receiver or socket\n");
                return 2;
            }
        } else if (arg == "--sim-state") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "halvekctl: --sim-state needs a file name\n");
                return 2;
            }
            options.simState = argv[++i];
        } else if (arg == "--device") {
            const auto device = i + 1 < argc ? cli::knownDeviceName(argv[i + 1]) : std::nullopt;
            if (!device) {
                std::fprintf(stderr, "halvekctl: --device takes keyboard, mouse, MousePad or HD\n");
                return 2;
            }
            ++i;
            // The commands' own --device defaults to it; the session and the simulation
            // look for it.
            options.device = *device;
            cli::setDefaultDevice(*device);
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--data-dir") {
            // Store options read before the command still belong to it.
            if (i + 1 >= argc) {
                std::fprintf(stderr, "halvekctl: %s needs a value\n", arg.c_str());
                return 2;
            }
            storeOptions.push_back(arg);
            storeOptions.push_back(argv[++i]);
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "halvekctl: unknown option '%s' (see --help)\n", arg.c_str());
            return 2;
        } else {
            break;
        }
    }
    if (i >= argc) {
        printUsage();
        return 2;
    }
    const std::string name = argv[i];
    const auto found = cli::commands().find(name);
    if (found == cli::commands().end()) {
        std::fprintf(stderr, "halvekctl: unknown command '%s' (see --help)\n", name.c_str());
        return 2;
    }
    std::vector<std::string> args(argv + i + 1, argv + argc);
    args.insert(args.end(), storeOptions.begin(), storeOptions.end());
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(found->second.usage.c_str(), stdout);
            return 0;
        }
    }
    platform::securePrivateFolders();
    const int status = found->second.run(options, args);
    // Stored files a command had to set aside, wherever it read them.
    for (const profile::StoredFileNotice& notice : profile::takeStoredFileNotices())
        std::fprintf(stderr, "halvekctl: %s\n", notice.text.c_str());
    return status;
}
