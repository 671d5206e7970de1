#include "command_registry.h"
#include "simulation.h"

#include "device/detect/supported_interfaces.h"
#include "device/hid/hid_device.h"
#include "device/hid/hid_path.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "update/update_check.h"

#include <cstdio>

namespace {

constexpr const char* kUsage =
    R"(Usage: halvekctl [--simulate[=MODE]] update check [--url BASE] [--ca FILE]

Asks the update service, as the settings window does, whether newer firmware exists for
the devices present (by cable) and a newer version of the application, and prints each
entry's current and latest version and status, then a summary that names the entries
whose check failed.

  --url BASE   the service's base address (ending in "api/"); default: the UpdateServiceUrl
               setting
  --ca FILE    a certificate authority to trust beside the system's; default: the
               UpdateCaFile setting

Certificates are always verified. Exit status 0 when every entry was answered, 1 when a
check failed or no service is configured, 2 for wrong arguments.
)";

// The firmware versions of the present mouse and keyboard, as the main window's first two
// tiles report them: the version of their cable link's HID interface.
std::vector<update::DeviceTile> presentDevices()
{
    std::vector<update::DeviceTile> tiles{{update::DeviceKind::Mouse, false, 0},
                                          {update::DeviceKind::Keyboard, false, 0}};
    CHidDevice device;
    if (!device.Enumerate())
        return tiles;
    while (const auto path = device.NextPath()) {
        const hid::PathIds ids = hid::parsePath(*path);
        for (const auto& row : detect::supportedInterfaces()) {
            if (row.role != detect::InterfaceRole::Command || row.vendorId != ids.vendorId ||
                row.productId != ids.productId || row.interfaceNumber != ids.interfaceNumber ||
                row.collection != ids.collection)
                continue;
            std::size_t tile = 2;
            if (row.typeId == detect::DeviceTypeId::MouseCable)
                tile = 0;
            else if (row.typeId == detect::DeviceTypeId::KeyboardCable)
                tile = 1;
            if (tile < tiles.size() && device.Open(*path, hid::kProbeMode)) {
                tiles[tile].online = true;
                tiles[tile].firmwareVersion = device.attributes().version;
                device.Close();
            }
        }
    }
    return tiles;
}

const char* statusText(std::int32_t status)
{
    return status == update::kStatusNewer ? "update available" : "up to date";
}

// The last line: what the settings window's summary says.
std::string summaryText(const update::UpdateNotice& finished)
{
    const std::string unchecked = platform::toUtf8(finished.detail);
    switch (finished.state) {
    case update::WindowState::UpdatesFound:
        return unchecked.empty() ? "Updates are available"
                                 : "updates are available. Not checked: " + unchecked;
    case update::WindowState::NoAnswer:
        return "The update service did not answer";
    case update::WindowState::SomeUnanswered:
        return "Not checked: " + unchecked + ". The rest is up to date";
    default:
        return "Everything is up to date";
    }
}

int checkUpdates(const cli::GlobalOptions& options, const std::vector<std::string>& args)
{
    if (args.empty() || args[0] != "check") {
        std::fputs("halvekctl update: the only subcommand is 'check' (see --help)\n", stderr);
        return 2;
    }
    update::UpdateServiceConfig config = update::configFromSettings();
    for (std::size_t i = 1; i < args.size(); ++i) {
        if ((args[i] == "--url" || args[i] == "--ca") && i + 1 < args.size()) {
            if (args[i] == "--url")
                config.baseUrl = platform::fromUtf8(args[++i]);
            else
                config.extraCaFile = args[++i];
        } else {
            std::fprintf(stderr, "halvekctl update: unexpected argument '%s'\n", args[i].c_str());
            return 2;
        }
    }
    if (config.baseUrl.empty()) {
        std::fputs("halvekctl update: no update service is configured (give --url or set "
                   "UpdateServiceUrl)\n",
                   stderr);
        return 1;
    }
    bool ok = true;
    const auto simulation = cli::attachSimulation(options, ok);
    if (!ok)
        return 2;
    const auto tiles = presentDevices();
    const auto entries =
        update::buildEntries(tiles, update::applicationVersion(),
                             update::applicationVersionLabel(update::applicationVersionText()));

    int status = 0;
    platform::HttpClient client;
    update::runChecks(client, config, entries, [&](update::UpdateNotice&& notice) {
        using Kind = update::UpdateNotice::Kind;
        if (notice.kind == Kind::UpdateItem) {
            const auto& record = notice.record;
            const std::string name = platform::toUtf8(record.name);
            if (!notice.detail.empty()) {
                std::fprintf(stderr, "halvekctl update: %s: %s\n", name.c_str(),
                             platform::toUtf8(notice.detail).c_str());
            }
            const bool answered = notice.detail.empty();
            if (!answered)
                status = 1;
            std::printf("%-8s current %-10s latest %-10s %s\n", name.c_str(),
                        platform::toUtf8(record.currentVersionText).c_str(),
                        record.latestVersionText.empty()
                            ? "-"
                            : platform::toUtf8(record.latestVersionText).c_str(),
                        answered ? statusText(record.status) : "no answer");
            if (answered && record.status == update::kStatusNewer && !record.downloadPath.empty())
                std::printf("         download %s as %s\n",
                            platform::toUtf8(record.downloadPath).c_str(),
                            platform::toUtf8(record.localFile).c_str());
        } else if (notice.kind == Kind::Finished) {
            std::printf("%s\n", summaryText(notice).c_str());
        }
    });
    return status;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "update",
    "ask the update service for newer firmware and application versions",
    kUsage,
    checkUpdates,
});

} // namespace
