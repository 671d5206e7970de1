#include "app/command_line.h"

namespace app {
namespace {

using platform::Error;

constexpr std::string_view kUsage = R"(Usage: halvek [OPTIONS]

  --simulate[=both|cable|receiver|socket]
                       run against the emulated keyboard instead of (beside) real
                       devices; socket talks to a running halvek-devsim
  --sim-state FILE     keep the emulated keyboard's memory in FILE between runs
  --script FILE        run the scripted session in FILE (see the README); the exit
                       code is 0 only when every step held
  --offscreen          lay out and paint the windows in memory without a display;
                       without it halvek refuses to start when no display is there
  --trace              print the program's trace on standard error: every command
                       frame sent and received, device steps, suspend and resume
  --help               show this text
)";

Error invalid(std::string message)
{
    return platform::makeError(Error::Code::InvalidInput, "halvek: " + std::move(message));
}

std::optional<SimulateMode> simulateMode(std::string_view text)
{
    if (text == "both")
        return SimulateMode::Both;
    if (text == "cable")
        return SimulateMode::Cable;
    if (text == "receiver")
        return SimulateMode::Receiver;
    if (text == "socket")
        return SimulateMode::Socket;
    return std::nullopt;
}

} // namespace

std::string_view commandLineUsage()
{
    return kUsage;
}

platform::Result<CommandLine> parseCommandLine(std::span<const std::string_view> args)
{
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const auto equals = arg.find('=');
        const std::string_view option = arg.substr(0, equals);
        const bool hasInlineValue = equals != std::string_view::npos;
        const std::string_view inlineValue =
            hasInlineValue ? arg.substr(equals + 1) : std::string_view();

        // A file value, inline or as the next argument; never another option.
        auto fileValue = [&]() -> platform::Result<std::filesystem::path> {
            std::string_view value = inlineValue;
            if (!hasInlineValue) {
                if (i + 1 >= args.size() || args[i + 1].starts_with("--"))
                    return invalid(std::string(option) + " needs a file");
                value = args[++i];
            }
            if (value.empty())
                return invalid(std::string(option) + " needs a file");
            return std::filesystem::path(std::string(value));
        };

        if (option == "--script" || option == "--sim-state") {
            auto& target = option == "--script" ? line.script : line.simState;
            if (target)
                return invalid(std::string(option) + " is given twice");
            auto value = fileValue();
            if (!value)
                return value.error();
            target = std::move(*value);
        } else if (option == "--simulate") {
            if (line.simulate)
                return invalid("--simulate is given twice");
            const auto mode = hasInlineValue ? simulateMode(inlineValue) : SimulateMode::Both;
            if (!mode)
                return invalid("--simulate takes both, cable, receiver or socket, not \"" +
                               std::string(inlineValue) + "\"");
            line.simulate = mode;
        } else if (option == "--offscreen" && !hasInlineValue) {
            line.display = DisplayMode::Offscreen;
        } else if (option == "--trace" && !hasInlineValue) {
            line.trace = true;
        } else if ((option == "--help" || arg == "-h") && !hasInlineValue) {
            line.help = true;
        } else {
            return invalid("unknown option \"" + std::string(arg) + "\" (try --help)");
        }
    }
    if (line.simState && !line.simulate)
        return invalid("--sim-state needs --simulate");
    return line;
}

} // namespace app
