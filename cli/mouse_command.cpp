#include "command_registry.h"
#include "device_model_factory.h"
#include "keyboard_session.h"
#include "profile_store.h"

#include "device/model/mouse_model.h"
#include "pages/models/change_result.h"
#include "pages/models/mouse_dpi_model.h"
#include "platform/hex.h"
#include "platform/text.h"

#include <cstdio>

namespace {

constexpr const char* kUsage =
    R"(Usage: halvekctl [--simulate[=MODE]] [--trace] mouse dpi [list] [OPTIONS]
       halvekctl [--simulate[=MODE]] [--trace] mouse dpi set STAGE SETTING... [OPTIONS]

list reads the mouse's DPI stages (1 to 5) and shows each: on or off, the current
one, its DPI and colour, then the report rate. set changes stage STAGE the way the
DPI page does, saves the selected mouse profile, writes the mouse's slot record and
reads it back. SETTING is any of:
  on | off          the DPI button steps through the stages that are on; one stays on
  current           the mouse uses this stage now (it must be on)
  dpi=N             snapped to the sensor's step, within its range
  colour=RRGGBB     the stage's colour, six hex digits
  rate=HZ           the report rate: 125, 250, 500 or 1000 (for the whole mouse)

Options:
)";

constexpr int kRates[pages::kReportRateOptions] = {125, 250, 500, 1000};

void printStages(const pages::MouseDpiModel& dpi)
{
    for (int i = 0; i < pages::kDpiStageCount; ++i) {
        const pages::DpiStageShown stage = dpi.stage(i);
        if (!stage.present) {
            std::printf("stage %d  not in the profile\n", i + 1);
            continue;
        }
        std::printf("stage %d  %-3s %c %5u dpi  colour %02X%02X%02X\n", i + 1,
                    stage.enabled ? "on" : "off", stage.current ? '*' : ' ', stage.dpi, stage.red,
                    stage.green, stage.blue);
    }
    const auto rate = dpi.reportRateOption();
    if (rate)
        std::printf("report rate  %d Hz\n", kRates[*rate]);
    else
        std::printf("report rate  not one the mouse offers\n");
}

// One SETTING applied to the model; the words of a refusal, empty when taken.
std::string applySetting(pages::MouseDpiModel& dpi, int stage, const std::string& setting)
{
    const std::string name = "stage " + std::to_string(stage + 1);
    if (setting == "on" || setting == "off") {
        if (dpi.setEnabled(stage, setting == "on"))
            return {};
        return setting == "off" ? name + " is the only stage on: one must stay on"
                                : name + " is not in the profile";
    }
    if (setting == "current") {
        if (dpi.selectCurrent(stage))
            return {};
        return name + " is off: only a stage that is on can be current";
    }
    if (setting.rfind("dpi=", 0) == 0) {
        const std::string value = setting.substr(4);
        if (value.empty() || !pages::parseTypedDpi(platform::fromUtf8(value)))
            return "'" + value + "' is not a whole number of DPI";
        if (!dpi.setTyped(stage, platform::fromUtf8(value)))
            return name + " is not in the profile";
        return {};
    }
    if (setting.rfind("colour=", 0) == 0 || setting.rfind("color=", 0) == 0) {
        std::string_view value = std::string_view(setting).substr(setting.find('=') + 1);
        if (!value.empty() && value.front() == '#')
            value.remove_prefix(1);
        const auto rgb = value.size() == 6 ? platform::parseHex(value, 0xFFFFFF) : std::nullopt;
        if (!rgb)
            return "'" + std::string(value) + "' is not a colour: six hex digits, RRGGBB";
        if (!dpi.setColour(stage, std::uint8_t(*rgb >> 16), std::uint8_t(*rgb >> 8),
                           std::uint8_t(*rgb)))
            return name + " is not in the profile";
        return {};
    }
    if (setting.rfind("rate=", 0) == 0) {
        const std::string value = setting.substr(5);
        for (int option = 0; option < pages::kReportRateOptions; ++option) {
            if (value == std::to_string(kRates[option]) && dpi.setReportRate(option))
                return {};
        }
        return "'" + value + "' is not a report rate: 125, 250, 500 or 1000";
    }
    return "unknown setting '" + setting + "' (on, off, current, dpi=N, colour=RRGGBB, rate=HZ)";
}

int run(const cli::GlobalOptions& options, const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    bool deviceNamed = false;
    for (const auto& arg : args)
        deviceNamed = deviceNamed || arg == "--device";
    // The command is the mouse's whatever halvekctl's --device says.
    if (!deviceNamed)
        args.insert(args.end(), {"--device", "mouse"});
    const auto store = cli::takeStoreOptions(args);
    if (!store)
        return 2;
    if (store->deviceName != "mouse")
        return cli::usage("mouse dpi acts on the mouse, not the " + store->deviceName);
    if (args.empty() || args[0] != "dpi")
        return cli::usage("mouse takes 'dpi'");
    args.erase(args.begin());
    const bool list = args.empty() || (args.size() == 1 && args[0] == "list");
    if (!list && (args[0] != "set" || args.size() < 3))
        return cli::usage("mouse dpi takes 'list' or 'set STAGE SETTING...'");
    unsigned long stageNumber = 0;
    if (!list &&
        (!cli::parseNumber(args[1], pages::kDpiStageCount, stageNumber) || stageNumber == 0))
        return cli::refuse("no DPI stage '" + args[1] + "' (1 to " +
                           std::to_string(pages::kDpiStageCount) + ")");

    auto device = cli::makeDeviceModel(*store, "mouse dpi");
    auto* mouse = dynamic_cast<model::MouseModel*>(device.get());
    if (!mouse)
        return 1;
    cli::KeyboardSession session(options, "mouse dpi", *mouse);
    if (!session.open())
        return session.exitStatus();
    // The sensor's range comes with the full read; the stages shown are what the mouse holds.
    if (const auto read = mouse->ReadDevice(); read != protocol::Status::Ok)
        return session.fail("reading the mouse", read);
    if (mouse->LoadProfile() != model::ProfileResult::Ok)
        return cli::refuse("the selected mouse profile could not be loaded");
    if (const auto state = mouse->ReadDeviceState(); state != protocol::Status::Ok)
        return session.fail("reading the mouse's slot record", state);
    session.flushTrace();
    pages::MouseDpiModel dpi(*mouse);
    if (list) {
        printStages(dpi);
        return 0;
    }
    const int stage = int(stageNumber) - 1;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (const std::string refused = applySetting(dpi, stage, args[i]); !refused.empty())
            return cli::refuse(refused + "; nothing was changed");
    }
    const pages::DpiCommit done = dpi.commit();
    session.flushTrace();
    if (const auto message = pages::changeMessage(done.result))
        return cli::refuse(platform::toUtf8(message->englishText()));
    if (!done.heldAsWritten)
        return cli::refuse("the mouse holds other stages than were written");
    printStages(dpi);
    return 0;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "mouse",
    "show and set the mouse's DPI stages and report rate",
    std::string(kUsage) + cli::kStoreOptionsHelp,
    run,
});

} // namespace
