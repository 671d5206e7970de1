#include "command_registry.h"
#include "devices_watch.h"
#include "simulation.h"

#include "device/detect/permission_problem.h"
#include "device/hid/hid_device.h"
#include "device/hid/hid_path.h"
#include "platform/text.h"

#include <cstdio>

namespace {

constexpr const char* kUsage =
    R"(Usage: halvekctl [--simulate[=MODE]] devices [--watch [--seconds N]]

Lists every HID collection present, one per line: its path, vendor id, product id,
interface, collection, usage page and usage (hexadecimal). Real devices are listed
beside the simulated ones; a collection that cannot be opened (permissions) shows
the ids of its path and "-" for usage page and usage, and a supported device's
collection refused for lack of permission is explained below the list, with the
udev rule that grants it.

  --watch       keep running: print supported interfaces as they arrive ("+") and
                leave ("-"), and what the program does with them (channel opened or
                closed, switched between cable and receiver)
  --seconds N   with --watch: stop after N seconds (default: run until interrupted)
)";

int listDevices(const cli::GlobalOptions& options, const std::vector<std::string>& args)
{
    if (!args.empty() && args[0] == "--watch")
        return cli::watchDevices(options, args);
    if (!args.empty()) {
        std::fprintf(stderr, "halvekctl devices: unexpected argument '%s'\n", args[0].c_str());
        return 2;
    }
    bool ok = true;
    const auto simulation = cli::attachSimulation(options, ok);
    if (!ok)
        return 2;

    CHidDevice device;
    if (!device.Enumerate()) {
        std::fputs("halvekctl devices: listing the HID interfaces failed\n", stderr);
        return 1;
    }
    std::puts("VID  PID  MI COL PAGE USAGE PATH");
    int count = 0;
    std::vector<detect::PermissionProblem> problems;
    while (const auto path = device.NextPath()) {
        const std::string utf8Path = platform::toUtf8(*path);
        const hid::PathIds ids = hid::parsePath(*path);
        if (device.Open(*path, hid::kProbeMode)) {
            const auto& attributes = device.attributes();
            std::printf("%04x %04x %02x %02x  %04x %04x  %s\n", attributes.vendorId,
                        attributes.productId, device.interfaceNumber(), device.collectionNumber(),
                        device.caps().usagePage, device.caps().usage, utf8Path.c_str());
            device.Close();
        } else {
            std::printf("%04x %04x %02x %02x  -    -     %s\n", ids.vendorId, ids.productId,
                        ids.interfaceNumber, ids.collection, utf8Path.c_str());
            if (const auto& failure = device.lastOpenFailure()) {
                if (auto problem = detect::permissionProblemFor(*path, *failure))
                    problems.push_back(std::move(*problem));
            }
        }
        ++count;
    }
    device.FreePathList();
    std::printf("%d collection%s\n", count, count == 1 ? "" : "s");
    for (const auto& problem : detect::onePerNode(std::move(problems)))
        std::printf("problem: %s\n", detect::describe(problem).c_str());
    // The emulated devices asked for are not in the list because nothing serves them.
    if (const auto absent = simulation ? simulation->absence() : std::nullopt) {
        std::fprintf(stderr, "halvekctl devices: %s\n", absent->c_str());
        return 1;
    }
    return 0;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "devices",
    "list the HID collections present (real and simulated)",
    kUsage,
    listDevices,
});

} // namespace
