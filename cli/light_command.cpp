#include "command_registry.h"
#include "light_preview.h"
#include "light_run.h"
#include "profile_store.h"

#include "platform/hex.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr const char* kUsage = R"(Usage: halvekctl light [OPTIONS] show
       halvekctl light [OPTIONS] set [--mode N] [--brightness N] [--speed N] [--fx N]
                                     [--multicolor 0|1] [--color RRGGBB]

Shows or changes the lighting record of the selected profile: effect index
(0-30), brightness and speed steps (0-4), direction, seven-colour cycling and colour.

Options:
)";

bool parseNumber(const std::string& text, int low, int high, int& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

void show(const profile::LightInfo& info)
{
    std::printf("mode %d\nbrightness %d\nspeed %d\nfx %d\nmulticolor %d\ncolor %02X%02X%02X\n"
                "submode %d\ncustomgroup %d\n",
                info.mode, info.brightness, info.speed, info.direction, info.multiColour, info.red,
                info.green, info.blue, info.subMode, info.customGroup);
}

int run(const cli::GlobalOptions& options, const std::vector<std::string>& arguments)
{
    if (cli::isLightRunCommand(arguments))
        return cli::runLightRun(options, arguments);
    if (cli::isLightPreviewCommand(arguments))
        return cli::runLightPreview(arguments);
    std::vector<std::string> args = arguments;
    const auto store = cli::takeStoreOptions(args);
    if (!store)
        return 2;
    if (args.empty() || (args[0] != "show" && args[0] != "set") ||
        (args[0] == "show" && args.size() != 1))
        return cli::usage("light takes 'show', 'set OPTIONS', 'frame', 'cpu' or 'run'");

    profile::LightInfo changes;
    struct Field {
        const char* option;
        int high;
        std::uint8_t profile::LightInfo::*member;
    };
    const Field fields[] = {{"--mode", 30, &profile::LightInfo::mode},
                            {"--brightness", 4, &profile::LightInfo::brightness},
                            {"--speed", 4, &profile::LightInfo::speed},
                            {"--fx", 255, &profile::LightInfo::direction},
                            {"--multicolor", 1, &profile::LightInfo::multiColour}};
    std::vector<const Field*> given;
    bool colour = false;
    // Everything is checked before the profile is touched.
    for (std::size_t i = 1; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return cli::usage(args[i] + " needs a value");
        const std::string& value = args[i + 1];
        if (args[i] == "--color") {
            const auto parsed =
                value.size() == 6 ? platform::parseHex(value, 0xFFFFFF) : std::nullopt;
            if (!parsed)
                return cli::refuse("--color takes six hex digits RRGGBB");
            const auto rgb = static_cast<std::uint32_t>(*parsed);
            changes.red = static_cast<std::uint8_t>(rgb >> 16);
            changes.green = static_cast<std::uint8_t>(rgb >> 8);
            changes.blue = static_cast<std::uint8_t>(rgb);
            colour = true;
            continue;
        }
        const Field* field = nullptr;
        for (const Field& candidate : fields) {
            if (args[i] == candidate.option)
                field = &candidate;
        }
        if (!field)
            return cli::usage("unknown light option '" + args[i] + "'");
        int number = 0;
        if (!parseNumber(value, 0, field->high, number))
            return cli::refuse(std::string(field->option) + " takes 0 to " +
                               std::to_string(field->high));
        changes.*(field->member) = static_cast<std::uint8_t>(number);
        given.push_back(field);
    }

    profile::CBasicProfiledata record;
    if (!cli::loadSelectedProfile(*store, record))
        return 1;
    profile::LightInfo info = record.LoadLightInfo();
    if (args[0] == "show") {
        show(info);
        return 0;
    }
    for (const Field* field : given)
        info.*(field->member) = changes.*(field->member);
    if (colour) {
        info.red = changes.red;
        info.green = changes.green;
        info.blue = changes.blue;
    }
    record.StoreLightInfo(info);
    if (record.SaveProfile() != 0)
        return cli::refuse("the profile file could not be written");
    show(info);
    return 0;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "light",
    "show and change the selected profile's lighting, or preview an effect",
    std::string(kUsage) + cli::kStoreOptionsHelp + "\n" + cli::kLightPreviewUsage + "\n" +
        cli::kLightRunUsage,
    run,
});

} // namespace
